#pragma once

// The browsers' tests: a demo KV740 database as the program's store (group 1), an MDI area
// for the windows, and an answering machine for the modal dialogs they open.

#include "basedatos.h"
#include "contestador.h"
#include "entorno.h"
#include "formato.h"
#include "global.h"
#include "impresion_prueba.h"
#include "navegador.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMdiArea>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

class PantallasDePrueba : public ::testing::Test {
protected:
    void SetUp() override
    {
        AplicacionDePrueba();
        base = std::make_unique<BaseDePrueba>();
        Global::DirectorioPrograma = base->dir();
        for (const char* mascara : {"mskAlba.txt", "mskFact.txt"})
            QFile::copy(QStringLiteral(QUENZA_DATA_DIR "/") + QLatin1String(mascara), base->dir() + QLatin1Char('/') + QLatin1String(mascara));
        Global::RutaBaseDatos = base->ruta;
        Global::BD = std::make_unique<BaseDatos>(base->ruta);
        ASSERT_TRUE(Global::BD->Abierta());
        Global::BD->CrearTablasNuevas();
        Global::BD->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        Global::IVADesglosado = true;
        FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));
        m().ejecutarNativo(QStringLiteral("DELETE FROM AlbaranVentaDetalle"));
        m().ejecutarNativo(QStringLiteral("DELETE FROM AlbaranVentaCabecera"));
        m().ejecutarNativo(QStringLiteral("DELETE FROM FacturaVentaDetalle"));
        m().ejecutarNativo(QStringLiteral("DELETE FROM FacturaVentaCabecera"));
        area = std::make_unique<QMdiArea>();
        area->resize(1000, 700);
        area->show();
        setAreaVentanas(area.get());
    }
    void TearDown() override
    {
        contestador.reset();
        area.reset();
        setAreaVentanas(nullptr);
        Global::BD.reset();
        Global::Reiniciar();
    }

    motor::BaseDeDatos& m() { return *Global::BD->Motor(); }
    qint64 uno(const QString& sql) { return m().valorUnico(sql).aEntero(); }
    double numero(const QString& sql) { return m().valorUnico(sql).aNumero(); }

    void cliente(qint32 codigo, const QString& nombre, bool req = false, double descuento = 0)
    {
        m().ejecutarNativo(QStringLiteral("DELETE FROM Cliente WHERE Codigo=?"), {codigo});
        m().ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, NIF, Poblacion, UsaREq, Descuento) "
                                          "VALUES (?, ?, 'B46000006', 'VALENCIA', ?, ?)"),
                           {codigo, nombre, req, descuento});
    }
    void articulo(qint32 codigo, const QString& nombre, qint16 cada, qint16 depto, qint32 precio)
    {
        m().ejecutarNativo(QStringLiteral("DELETE FROM PLUSES WHERE SECCION=1 AND CODPLU=?"), {codigo});
        m().ejecutarNativo(QStringLiteral("INSERT INTO PLUSES (SECCION, CODPLU, NOMPLU, CADA, DEPTO, PRECIO_01, SALIDA) "
                                          "VALUES (1, ?, ?, ?, ?, ?, 0)"),
                           {codigo, nombre, cada, depto, precio});
    }
    void albaran(qint32 numero, qint32 cli, const QDate& fecha, double pagado = 0, const Valor& factura = {})
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado, DesctoPP, "
                                          "Observaciones, onLine) VALUES (?, ?, ?, ?, ?, ?, 0, '', 0)"),
                           {numero, fecha.toString(Qt::ISODate), cli, factura.esNulo() ? Valor() : Valor(1), factura, pagado});
    }
    void linea(qint32 numero, qint16 linea, qint32 articulo, qint16 depto, qint32 precio, qint16 cada, qint32 cantidad,
               qint32 canStock = 0, qint16 bultos = 0, qint32 envase = 0)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Descuento, "
                                          "Cada, Cantidad, CanStock, Bultos, Envase, Comentario) VALUES (?, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, NULL)"),
                           {numero, linea, articulo, depto, precio, cada, cantidad, canStock, bultos, envase});
    }

    std::unique_ptr<BaseDePrueba> base;
    std::unique_ptr<QMdiArea> area;
    std::unique_ptr<Contestador> contestador = std::make_unique<Contestador>();
};

template <typename T>
T* Hijo(QObject* padre, const char* nombre)
{
    T* w = padre->findChild<T*>(QString::fromLatin1(nombre));
    EXPECT_TRUE(w) << nombre;
    return w;
}

// Waits until `condicion` holds or a second has passed.
inline bool Esperar(const std::function<bool()>& condicion, int ms = 2000)
{
    return QTest::qWaitFor(condicion, ms);
}
