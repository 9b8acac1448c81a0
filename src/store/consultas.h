#pragma once

#include <QString>

// Texts of the saved queries, with the short table names.
namespace consultas {

// The delivery-note list: the saved query is the three parts together; the store puts its
// filters between them, so that only the notes asked for are grouped.
inline QString SelectAlbaranes(const QString& importe, const QString& masColumnas = {})
{
    return QStringLiteral(
               "select distinctrow TbCabzAlb.Numero as Numero, Fecha, Cliente, Nombre, Factura, Pagado, TbCliente.Descuento, "
               "DesctoPP, sum(Bultos * Envase) as ImpEnvases,  + ")
        + importe
        + QStringLiteral(
            " as Importe, sum(iif(Cantidad=CanStock,0,1)) as stock, count(Linea) as nlin ")
        + masColumnas
        + QStringLiteral(
            "from (TbCabzAlb left join TbDetaAlb on TbDetaAlb.Numero=TbCabzAlb.Numero ) left join TbCliente on "
            "TbCabzAlb.Cliente=TbCliente.Codigo ");
}
inline const QString ListaAlbaranesSelect =
    SelectAlbaranes(QStringLiteral("sum((Cantidad * Precio / switch(Cada=0,1000,Cada=1,100,True,1)) * (1 - TbDetaAlb.Descuento /100) )"));
inline const QString ListaAlbaranesGroup = QStringLiteral(
    " group by TbCabzAlb.Numero, Fecha, Cliente, Nombre, Factura, Pagado, TbCliente.Descuento, DesctoPP ");
inline const QString ListaAlbaranes = ListaAlbaranesSelect + ListaAlbaranesGroup;

// The store's own list sums the lines in cents as the note takes them, through the exact money
// functions of the connection: each line's amount rounded to the cent, less its discount rounded
// to the cent. A sale unit the note does not know counts 0. The saved query above stays as it is
// for other clients.
inline const QString LineaEnCentimos = QStringLiteral("centimos_linea(Precio, Cantidad, Cada)");
// An invoiced note lists with the discounts its invoice was made with (null for a pending note,
// which follows its customer's discount).
inline const QString DescuentosDeSuFactura = QStringLiteral(
    ", (select TbCabzFac.Descuento from TbCabzFac where TbCabzFac.Serie=TbCabzAlb.sFac and TbCabzFac.Numero=TbCabzAlb.Factura)"
    " as DescuentoFactura, (select TbCabzFac.DesctoPP from TbCabzFac where TbCabzFac.Serie=TbCabzAlb.sFac and "
    "TbCabzFac.Numero=TbCabzAlb.Factura) as DesctoPPFactura ");
// A line without discount (nearly every one) takes no cents off: on a server the percentage
// would be a function call per line.
inline const QString ListaAlbaranesSelectCentimos =
    SelectAlbaranes(QStringLiteral("sum(") + LineaEnCentimos + QStringLiteral(" - iif(TbDetaAlb.Descuento=0, 0, porcentaje(")
                        + LineaEnCentimos + QStringLiteral(", TbDetaAlb.Descuento)))"),
                    DescuentosDeSuFactura);

// What the store itself runs: grouped by the note's key alone, which every other column of a
// group depends on, so that the notes are walked in key order and nothing is sorted first.
inline const QString ListaAlbaranesSelectTienda =
    QString(ListaAlbaranesSelectCentimos).replace(QStringLiteral("select distinctrow "), QStringLiteral("select "));
inline const QString ListaAlbaranesGroupTienda = QStringLiteral(" group by TbCabzAlb.Numero ");

// Likewise the bases per invoice and rate.
inline const QString ListaBasesImponiblesSelect = QStringLiteral(
    "select TbCabzFac.Serie as Serie, TbCabzFac.Numero as Numero, Fecha, Cliente, Nombre, UsaREq, pIVA, pREQ, "
    "TbCabzFac.Descuento, TbCabzFac.DesctoPP, Pagado, sum(Envase * Bultos) as Envases, sum(Importe) as Base from "
    "(TbCabzFac left join TbDetaFac on (TbDetaFac.Serie=TbCabzFac.Serie) and (TbDetaFac.Numero=TbCabzFac.Numero) ) "
    "left join TbCliente on TbCabzFac.Cliente=TbCliente.Codigo ");
inline const QString ListaBasesImponiblesGroup = QStringLiteral(
    " group by TbCabzFac.Serie, TbCabzFac.Numero, pIVA, pREQ, Fecha, Cliente, Nombre, UsaREq, TbCabzFac.Descuento, "
    "TbCabzFac.DesctoPP, Pagado ");
inline const QString ListaBasesImponibles = ListaBasesImponiblesSelect + ListaBasesImponiblesGroup;

inline const QString ListaFacturas = QStringLiteral(
    "select Serie, Numero, Fecha, Cliente, Nombre, Pagado, sum(Envases/100) as sEnvases, sum(int(Base * (100 - "
    "Descuento - DesctoPP) + 0.5) /100) as Neto, sum(int(int(Base * (100 - Descuento - DesctoPP) + 0.5) / 100 * pIVA "
    "+ 0.5) / 100) as IVA, sum(iif(UsaREq, int(int(Base * (100 - Descuento - DesctoPP) + 0.5) / 100 * pREq + 0.5) / "
    "100, 0)) as REq from QryBImpon group by Serie, Numero, Fecha, Cliente, Nombre, Pagado ");

// The store's own invoice list, in cents: the bases of each rate are their lines' cents added,
// and each rate's base, VAT and surcharge are worked out by the exact money functions, as the
// invoice itself works them out. The saved queries above stay as they are for other clients.
inline const QString ListaBasesImponiblesSelectCentimos = QString(ListaBasesImponiblesSelect)
    .replace(QStringLiteral("sum(Importe) as Base"), QStringLiteral("sum(centimos(Importe)) as Base"));
inline const QString ListaFacturasCentimos = QStringLiteral(
    "select Serie, Numero, Fecha, Cliente, Nombre, Pagado, coalesce(sum(Envases), 0) as sEnvases, "
    "coalesce(sum(tras_descuentos(Base, Descuento, DesctoPP)), 0) as Neto, "
    "coalesce(sum(porcentaje(tras_descuentos(Base, Descuento, DesctoPP), pIVA)), 0) as IVA, "
    "coalesce(sum(iif(UsaREq, porcentaje(tras_descuentos(Base, Descuento, DesctoPP), pREq), 0)), 0) as REq "
    "from QryBImpon group by Serie, Numero, Fecha, Cliente, Nombre, Pagado ");

}  // namespace consultas
