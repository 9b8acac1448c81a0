// The start-up cases on the real program, as a shop starts it: a bad database must leave it
// waiting in the configuration dialog with the reason, never abort it. What each kind of bad
// file says is checked in process (test_arranque.cpp); here a damaged file and one in use.

#include "comun_shell.h"

#include "motor.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <gtest/gtest.h>

namespace {

struct CasoPrograma {
    const char* nombre;
    const char* dice;
};

class ProgramaReal : public ::testing::TestWithParam<CasoPrograma> {};

TEST_P(ProgramaReal, WaitsInTheConfigurationDialogSayingWhatIsWrong)
{
    QTemporaryDir programa, home;
    // A copy of the program, so that its settings file lives in a folder of the test's own.
    const QString exe = CopiaDelPrograma(programa, home.path());
    const QByteArray caso = GetParam().nombre;
    const QString db = PrepararBaseIncorrecta(caso == "en-uso" ? "sana" : caso, home.path());
    std::unique_ptr<motor::BaseDeDatos> otro;
    if (caso == "en-uso") {
        otro = std::make_unique<motor::BaseDeDatos>(db);
        otro->ejecutarNativo(QStringLiteral("BEGIN IMMEDIATE"));
    }

    QProcess p;
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(entorno);
    p.start(exe, {});
    ASSERT_TRUE(p.waitForStarted(5000));
    QByteArray salida;
    const QDeadlineTimer limite(20000);
    auto dicho = [&salida] {
        const qsizetype i = salida.indexOf("CONFIGURACIÓN INCORRECTA");
        return i >= 0 && salida.indexOf('\n', i) > i;
    };
    while (!dicho() && p.state() == QProcess::Running && !limite.hasExpired()) {
        p.waitForReadyRead(200);
        salida += p.readAllStandardError();
    }
    // Still running: it waits in the dialog.
    QThread::msleep(200);
    EXPECT_EQ(p.state(), QProcess::Running) << salida.constData();
    p.kill();
    p.waitForFinished(5000);
    const QString texto = QString::fromUtf8(salida);
    EXPECT_TRUE(texto.contains(QStringLiteral("CONFIGURACIÓN INCORRECTA"))) << qPrintable(texto);
    EXPECT_TRUE(texto.contains(QStringLiteral("«") + db + QStringLiteral("»"))) << qPrintable(texto);
    EXPECT_TRUE(texto.contains(QString::fromUtf8(GetParam().dice))) << qPrintable(texto);
    EXPECT_FALSE(texto.contains(QStringLiteral("terminate called"))) << qPrintable(texto);
}

INSTANTIATE_TEST_SUITE_P(Casos, ProgramaReal,
                         ::testing::Values(CasoPrograma{"danada", "está dañada"},
                                           CasoPrograma{"en-uso", "está en uso por otro programa"}),
                         [](const auto& caso) {
                             return QString::fromLatin1(caso.param.nombre).remove(QLatin1Char('-')).toStdString();
                         });

// Asked from a terminal, it answers and ends without a window; without any display it says so
// in Spanish before Qt's own message.
TEST(ProgramaEnTerminal, AnswersHelpAndVersionAndSaysWhenThereIsNoDisplay)
{
    struct Caso {
        QStringList argumentos;
        bool sinPantalla;
        const char* dice;
        bool termina0;
    } casos[] = {
        {{QStringLiteral("--version")}, false, "Quenza " QUENZA_VERSION_TEXTO, true},
        {{QStringLiteral("--help")}, false, "--version", true},
        {{QStringLiteral("--help")}, true, "Uso: quenza", true},
        {{}, true, "no hay ninguna pantalla", false},
    };
    for (const Caso& c : casos) {
        QProcess p;
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        if (c.sinPantalla) {
            for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                entorno.remove(QString::fromLatin1(v));
        } else {
            entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        }
        p.setProcessEnvironment(entorno);
        p.start(QStringLiteral(QUENZA_EJECUTABLE), c.argumentos);
        ASSERT_TRUE(p.waitForFinished(10000)) << qPrintable(c.argumentos.join(' '));
        const QString salida = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        EXPECT_TRUE(salida.contains(QString::fromUtf8(c.dice))) << qPrintable(salida);
        if (c.termina0) {
            EXPECT_EQ(p.exitCode(), 0) << qPrintable(salida);
        }
    }
}

}  // namespace
