#include "albaranesdeticket.h"

#include "albaran.h"
#include "basedatos.h"
#include "motor.h"

std::unique_ptr<Albaran> AlbaranOnLine(BaseDatos& bd, qint32 docID, std::optional<qint32> marcaVista)
{
    std::optional<std::vector<LineaTicket>> lineas;
    qint32 marca = 0;
    try {
        // The mark first: a note stored later claims the ticket only if it is still this one.
        marca = marcaVista ? *marcaVista : bd.MarcaTicket(docID);
        lineas = bd.LineasTicket(docID);
    } catch (const motor::Error&) {
        return nullptr;
    }
    if (!lineas)
        return nullptr;
    auto albaran = std::make_unique<Albaran>(bd);
    if (!albaran->WhoAmI())
        return nullptr;
    albaran->FijarTicket(docID, marca);
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
