#include "navegador.h"

#include <QMdiArea>

NavegadorDocumentos* Navegadores::clientes = nullptr;
NavegadorDocumentos* Navegadores::albaranes = nullptr;
NavegadorDocumentos* Navegadores::facturas = nullptr;
Navegadores::Abridor Navegadores::abrirAlbaranes;
Navegadores::Abridor Navegadores::abrirFacturas;

static QPointer<QMdiArea> g_area;

QMdiArea* AreaVentanas() { return g_area; }
void setAreaVentanas(QMdiArea* area) { g_area = area; }

void ReleerSiCargado(NavegadorDocumentos* lista)
{
    if (lista && lista->Cargado())
        lista->Releer();
}
