#include "impresion.h"

#include "global.h"
#include "impresoraactual.h"
#include "listado.h"
#include "printxt.h"

#include <QPrintDialog>
#include <QPrinter>

namespace {

std::optional<int> DialogoSistema(QWidget* padre)
{
    QPrinter impresora;
    if (!ImpresoraActual().isEmpty())
        impresora.setPrinterName(ImpresoraActual());
    QPrintDialog dialogo(&impresora, padre);
    dialogo.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    if (dialogo.exec() != QDialog::Accepted)
        return std::nullopt;
    FijarImpresoraActual(impresora.printerName());
    return std::max(1, impresora.copyCount());
}

DialogoCopias& Dialogo()
{
    static DialogoCopias d = DialogoSistema;
    return d;
}

FabricaMotor& Fabrica()
{
    static FabricaMotor f = [] { return std::unique_ptr<MotorMascaras>(std::make_unique<PrinTxt>()); };
    return f;
}

EjecutorListado& Ejecutor()
{
    static EjecutorListado e = [](Listado& l, QWidget* padre) { l.Accion(1, padre); };
    return e;
}

}  // namespace

void EjecutarListado(Listado& listado, QWidget* padre) { Ejecutor()(listado, padre); }
EjecutorListado FijarEjecutorListado(EjecutorListado ejecutor) { return std::exchange(Ejecutor(), std::move(ejecutor)); }

std::optional<int> PedirCopias(QWidget* padre) { return Dialogo()(padre); }
std::unique_ptr<MotorMascaras> NuevoMotorMascaras() { return Fabrica()(); }

DialogoCopias FijarDialogoCopias(DialogoCopias dialogo) { return std::exchange(Dialogo(), std::move(dialogo)); }
FabricaMotor FijarFabricaMotor(FabricaMotor fabrica) { return std::exchange(Fabrica(), std::move(fabrica)); }
