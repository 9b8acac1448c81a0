#pragma once

#include "entorno.h"
#include "global.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

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
    void escribirIni(const QByteArray& contenido)
    {
        QFile f(rutaIni());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(contenido);
    }

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
