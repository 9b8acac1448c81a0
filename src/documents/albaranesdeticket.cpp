#include "albaranesdeticket.h"

#include "albaran.h"
#include "basedatos.h"

std::unique_ptr<Albaran> AlbaranOnLine(BaseDatos& bd, qint32 docID)
{
    const std::optional<std::vector<LineaTicket>> lineas = bd.LineasTicket(docID);
    if (!lineas)
        return nullptr;
    auto albaran = std::make_unique<Albaran>(bd);
    if (!albaran->WhoAmI())
        return nullptr;
    for (const LineaTicket& t : *lineas) {
        LineaAlbaran* linea = albaran->NuevaLinea();
        if (!linea)
            return nullptr;
        // An unknown article leaves the line without one; quantity and price still go in.
        linea->SetCodigo(t.cdPLU);
        linea->FijarCantidadGramos(t.canti);
        linea->FijarPrecio(t.preci / 100.0);
    }
    albaran->FijarOnLine(true);
    return albaran;
}
