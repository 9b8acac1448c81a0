#pragma once

#include "entorno.h"
#include "global.h"
#include "motor.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

// Writes `contenido` to `ruta`, replacing it.
inline void EscribirArchivo(const QString& ruta, const QByteArray& contenido)
{
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << qPrintable(ruta);
    f.write(contenido);
}

// Each test runs with its own program folder (settings file) and a fresh global state.
class ConPrograma : public ::testing::Test {
protected:
    void SetUp() override
    {
        AplicacionDePrueba();
        Global::Reiniciar();
        Global::DirectorioPrograma = programa.path();
        Global::NombrePrograma = QStringLiteral("Quenza");
    }
    void TearDown() override { Global::Reiniciar(); }

    QString rutaIni() const { return programa.filePath(QStringLiteral("Quenza.ini")); }
    void escribirIni(const QByteArray& contenido) { EscribirArchivo(rutaIni(), contenido); }

    QTemporaryDir programa;
};

// The program working on `base` as start-up leaves it: the database open, its tables up to date.
inline void TrabajarSobre(const BaseDePrueba& base)
{
    Global::HomeDir = base.dir();
    LeerConfiguracionKV740();
    AbrirBaseDatos();
    Global::BD->CrearTablasNuevas();
}

// Runs `accion` on the next modal window that shows up (a dialog or a message box).
inline void CuandoAparezcaModal(std::function<void(QWidget*)> accion, int intentos = 200)
{
    QTimer::singleShot(10, [accion, intentos] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible())
            accion(modal);
        else if (intentos > 0)
            CuandoAparezcaModal(accion, intentos - 1);
    });
}

// A copy of the real program in `programa`, its settings file pointing at `home` as group 1
// (plus `masIni`); returns the executable's path.
inline QString CopiaDelPrograma(const QTemporaryDir& programa, const QString& home, const QByteArray& masIni = {})
{
    const QString exe = programa.filePath(QStringLiteral("quenza"));
    EXPECT_TRUE(QFile::copy(QStringLiteral(QUENZA_EJECUTABLE), exe));
    EscribirArchivo(programa.filePath(QStringLiteral("Quenza.ini")), "[General]\nHomeDir=" + home.toUtf8() + "\nGrupo=1\n" + masIni);
    return exe;
}

// Leaves in `home` what a shop may point the program at that is no usable KV740 database (the
// case's name) and returns the path the configuration dialog must name.
inline QString PrepararBaseIncorrecta(const QByteArray& caso, const QString& home)
{
    const QString ini = home + QStringLiteral("/KV740.INI");
    const QString db = home + QStringLiteral("/kv740.db");
    if (caso == "sin-ini")
        return home;
    if (caso == "ini-vacio") {
        EscribirArchivo(ini, {});
        return ini;
    }
    if (caso == "ini-tuberia") {  // would block the start for ever if it were opened
        EXPECT_EQ(QProcess::execute(QStringLiteral("mkfifo"), {ini}), 0);
        return ini;
    }
    if (caso == "texto")
        EscribirArchivo(db, "Esto no es una base de datos, aunque lo parezca.\n");
    else if (caso == "cero-bytes")
        EscribirArchivo(db, {});
    else if (caso == "sin-tablas-kv740")
        motor::BaseDeDatos::crear(db)->ejecutarNativo(QStringLiteral("CREATE TABLE Agenda (Nombre TEXT)"));
    else if (caso != "falta")
        kv740::CrearDemo(home);
    if (caso == "danada") {
        QFile f(db);
        EXPECT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(100);  // the schema page after the file header
        f.write(QByteArray(3000, '\x5a'));
    }
    EscribirArchivo(ini, "[KV740]\r\nBaseDatos=" + db.toUtf8() + "\r\n");
    return db;
}
