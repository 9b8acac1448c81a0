#pragma once

// A working program for the editor tests: a KV740 database with the program's tables as the
// global store, Spanish numbers, a document area for the windows, the masks beside the
// "program", and helpers that type into whatever has the focus and answer message boxes.

#include "basedatos.h"
#include "contestador.h"
#include "entorno.h"
#include "formato.h"
#include "global.h"
#include "impresion_prueba.h"
#include "navegador.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

// What an editor tells the browser that opened it.
struct NavegadorFalso : NavegadorDocumentos {
    bool cargado = true;
    std::vector<std::optional<long>> refrescos;
    std::vector<long> quitados;
    bool Cargado() const override { return cargado; }
    void Refresco(std::optional<long> numero) override { refrescos.push_back(numero); }
    void QuitarHijo(long numero) override { quitados.push_back(numero); }
};

// The editors' tests answer every message box with OK unless a test queues other answers.
struct Mensajes : Contestador {
    Mensajes() : Contestador(QMessageBox::Ok) {}
};

class EditorDePrueba : public ::testing::Test {
protected:
    void SetUp() override
    {
        AplicacionDePrueba();
        base = std::make_unique<BaseDePrueba>(kv740::Opciones{});
        Global::BD = std::make_unique<BaseDatos>(base->ruta);
        ASSERT_TRUE(Global::BD->Abierta());
        Global::BD->CrearTablasNuevas();
        Global::Precio = 0;
        Global::BD->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        Global::RecargoEquivalencia.fill(0);
        Global::RecargoEquivalencia[1] = 1.4f;
        Global::RecargoEquivalencia[7] = 5.2f;
        // The program's folder: its settings file and the masks it prints with.
        Global::DirectorioPrograma = base->dir();
        for (const char* mascara : {"mskAlba.txt", "mskFact.txt"})
            QFile::copy(QStringLiteral(QUENZA_DATA_DIR "/") + QLatin1String(mascara), base->dir() + QLatin1Char('/') + QLatin1String(mascara));
        FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));

        cliente(9012, QStringLiteral("GARCIA LOPEZ PRUEBA"), false, 5);
        cliente(9013, QStringLiteral("PEREZ RECARGO PRUEBA"), true, 0);
        articulo(990001, QStringLiteral("ZANAHORIA PRUEBA"), 0, 1, 899);
        articulo(990002, QStringLiteral("ZUMO PRUEBA"), 2, 7, 150);

        area = std::make_unique<QMdiArea>();
        area->resize(1100, 800);
        area->show();
        area->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(area.get()));
        setAreaVentanas(area.get());
    }
    void TearDown() override
    {
        area.reset();  // the windows go without asking
        setAreaVentanas(nullptr);
        Navegadores::albaranes = nullptr;
        Navegadores::facturas = nullptr;
        Global::BD.reset();
        Global::Reiniciar();
    }

    motor::BaseDeDatos& m() { return *Global::BD->Motor(); }
    qint64 uno(const QString& sql) { return m().valorUnico(sql).aEntero(); }
    double numero(const QString& sql) { return m().valorUnico(sql).aNumero(); }

    void cliente(qint32 codigo, const QString& nombre, bool req, double descuento)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, NIF, Poblacion, UsaREq, Descuento) "
                                          "VALUES (?, ?, 'B46000006', 'VALENCIA', ?, ?)"),
                           {codigo, nombre, req, descuento});
    }
    void articulo(qint32 codigo, const QString& nombre, qint16 cada, qint16 depto, qint32 precio)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO PLUSES (SECCION, CODPLU, NOMPLU, CADA, DEPTO, PRECIO_01, SALIDA) "
                                          "VALUES (1, ?, ?, ?, ?, ?, 0)"),
                           {codigo, nombre, cada, depto, precio});
    }

    // Where the keys go; after a message box the document area is the active window again.
    QWidget* foco()
    {
        if (!QApplication::activeWindow()) {
            area->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(area.get()));
        }
        return QApplication::focusWidget();
    }
    // A closed window is deleted once the event loop runs.
    static void asentar() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    void teclas(const QString& texto) { QTest::keyClicks(foco(), texto); }
    void tecla(Qt::Key k, Qt::KeyboardModifiers mod = Qt::NoModifier) { QTest::keyClick(foco(), k, mod); }
    void intro() { tecla(Qt::Key_Return); }

    template <typename T>
    static T* hijo(QWidget* ventana, const char* nombre)
    {
        T* w = ventana->findChild<T*>(QString::fromLatin1(nombre));
        EXPECT_TRUE(w) << nombre;
        return w;
    }
    static void pulsar(QWidget* ventana, const char* nombre) { hijo<QPushButton>(ventana, nombre)->click(); }

    std::unique_ptr<BaseDePrueba> base;
    std::unique_ptr<QMdiArea> area;
};
