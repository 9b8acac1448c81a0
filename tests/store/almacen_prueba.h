#pragma once

#include "basedatos.h"
#include "entorno.h"
#include "global.h"

#include <gtest/gtest.h>

// A prepared KV740 database with the program's tables, working as group 1 (section 1, tariff 1,
// warehouse 1 when there are warehouses).
class AlmacenDePrueba : public ::testing::Test {
protected:
    explicit AlmacenDePrueba(bool almacenes = true) : m_almacenes(almacenes) {}

    void SetUp() override
    {
        kv740::Opciones opciones;
        opciones.almacenes = m_almacenes;
        base = std::make_unique<BaseDePrueba>(opciones);
        bd = std::make_unique<BaseDatos>(base->ruta);
        ASSERT_TRUE(bd->Abierta());
        bd->CrearTablasNuevas();
        Global::Precio = 0;
        bd->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
    }
    void TearDown() override
    {
        bd.reset();
        Global::Reiniciar();
    }

    motor::BaseDeDatos& m() { return *bd->Motor(); }
    qint64 uno(const QString& sql) { return m().valorUnico(sql).aEntero(); }
    void sql(const QString& texto) { m().ejecutar(texto); }

    void cliente(qint32 codigo, const QString& nombre, bool req = false, double descuento = 0)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, UsaREq, Descuento) VALUES (?, ?, ?, ?)"),
                           {codigo, nombre, req, descuento});
    }
    void albaran(qint32 numero, qint32 cli, const QDate& fecha, const Valor& factura = {}, double desctoPP = 0,
                 double pagado = 0, qint16 serie = 0)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado, DesctoPP) "
                                          "VALUES (?, ?, ?, ?, ?, ?, ?)"),
                           {numero, fecha.toString(Qt::ISODate), cli, serie, factura, pagado, desctoPP});
    }
    // Price in cents, quantity in the sale unit's encoding.
    void lineaAlbaran(qint32 numero, qint16 linea, qint32 articulo, qint32 precio, qint16 cada, qint32 cantidad,
                      double descuento = 0, qint32 canStock = 0)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Descuento, "
                                          "Cada, Cantidad, CanStock, Bultos, Envase) VALUES (?, ?, ?, 1, ?, ?, ?, ?, ?, 0, 0)"),
                           {numero, linea, articulo, precio, descuento, cada, cantidad, canStock});
    }
    void factura(qint16 serie, qint32 numero, qint32 cli, const QDate& fecha, const Valor& pagado = 0.0, double descuento = 0,
                 double desctoPP = 0)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaCabecera (Serie, Numero, Fecha, Cliente, Pagado, Descuento, DesctoPP) "
                                          "VALUES (?, ?, ?, ?, ?, ?, ?)"),
                           {serie, numero, fecha.toString(Qt::ISODate), cli, pagado, descuento, desctoPP});
    }
    void lineaFactura(qint16 serie, qint32 numero, qint16 linea, double importe, double iva, double req = 0)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaDetalle (Serie, Numero, Linea, Importe, pIVA, pREq, Bultos, Envase) "
                                          "VALUES (?, ?, ?, ?, ?, ?, 0, 0)"),
                           {serie, numero, linea, importe, iva, req});
    }

    std::unique_ptr<BaseDePrueba> base;
    std::unique_ptr<BaseDatos> bd;

private:
    bool m_almacenes;
};
