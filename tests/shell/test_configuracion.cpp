#include "comun_shell.h"

#include "archivoini.h"
#include "formato.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using Configuracion = ConPrograma;

TEST_F(Configuracion, FirstRunProposesAFolderThatExistsHere)
{
    ASSERT_FALSE(QFile::exists(rutaIni()));
    LeerConfiguracion();
    EXPECT_EQ(Global::HomeDir, QDir::homePath());
    EXPECT_TRUE(QFileInfo(Global::HomeDir).isDir());
    EXPECT_TRUE(QFile::exists(rutaIni()));
    EXPECT_EQ(Global::Grupo, 0);
    EXPECT_EQ(Global::Precio, 0);
    EXPECT_FALSE(Global::IVADesglosado);
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[1], 0.0f);
}

TEST_F(Configuracion, FirstRunBesideTheDemoProposesTheDemoAndItsKv740IniNamesTheDatabase)
{
    // The README's demo: the program in bin/, the demo shop in demo/.
    QDir(programa.path()).mkpath(QStringLiteral("bin"));
    const QString demo = programa.filePath(QStringLiteral("demo"));
    kv740::CrearDemo(demo);
    Global::DirectorioPrograma = programa.filePath(QStringLiteral("bin"));
    LeerConfiguracion();
    EXPECT_EQ(Global::HomeDir, demo);
    LeerConfiguracionKV740();
    EXPECT_EQ(Global::RutaBaseDatos, demo + QStringLiteral("/kv740.db"));
    Global::HomeDir = programa.path();  // no KV740.INI there
    LeerConfiguracionKV740();
    EXPECT_TRUE(Global::RutaBaseDatos.isEmpty());
}

TEST_F(Configuracion, SavedSettingsReadBackTheSameAndNumbersAreReadLeniently)
{
    FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));
    Global::HomeDir = QStringLiteral("/opt/kv740");
    Global::NombreEmpresa = QStringLiteral("CARNICERÍA NÚÑEZ \"LA BUENA\"");
    Global::Grupo = 2;
    Global::Precio = 1;
    Global::IVADesglosado = true;
    Global::RecargoEquivalencia[1] = 1.4f;
    Global::RecargoEquivalencia[7] = 5.2f;
    GuardarConfiguracion();

    ArchivoIni ini(rutaIni());
    ini.setSeccion(QStringLiteral("RecargoEquivalencia"));
    EXPECT_EQ(ini.leer(QStringLiteral("Dept01")), QStringLiteral("1,4"));
    EXPECT_EQ(ini.leer(QStringLiteral("Dept02")), QString());  // zero is written empty

    Global::Reiniciar();
    LeerConfiguracion();
    EXPECT_EQ(Global::HomeDir, QStringLiteral("/opt/kv740"));
    EXPECT_EQ(Global::NombreEmpresa, QStringLiteral("CARNICERÍA NÚÑEZ \"LA BUENA\""));
    EXPECT_EQ(Global::Grupo, 2);
    EXPECT_EQ(Global::Precio, 1);
    EXPECT_TRUE(Global::IVADesglosado);
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[1], 1.4f);
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[7], 5.2f);
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[2], 0.0f);

    // Numbers are read leniently.
    escribirIni("[General]\nHomeDir=/kv\nGrupo=3x\nPrecio=abc\nIVADesglosado=True\n"
                "[RecargoEquivalencia]\nDept01=abc\nDept02=5,2\nDept03=\nlinea rota\n");
    LeerConfiguracion();
    EXPECT_EQ(Global::Grupo, 3);
    EXPECT_EQ(Global::Precio, 0);
    EXPECT_TRUE(Global::IVADesglosado);
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[1], 0.0f);
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[2], 5.2f);
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[3], 0.0f);
}

TEST_F(Configuracion, WindowPositionsNeedFourParts)
{
    GuardarPosicionVentana(QStringLiteral("BrowCli"), {150, 300, 9000, 6000});
    const auto p = LeerPosicionVentana(QStringLiteral("BrowCli"));
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ((*p)[2], 9000);
    escribirIni("[Ventanas]\nBrowFac=1|2|3\n");
    EXPECT_FALSE(LeerPosicionVentana(QStringLiteral("BrowFac")).has_value());
    EXPECT_FALSE(LeerPosicionVentana(QStringLiteral("NoGuardada")).has_value());
}

TEST_F(Configuracion, MasksAreLookedForBesideTheSettingsFile)
{
    // Nowhere: the settings file's folder, so that the message names where to put it.
    EXPECT_TRUE(BuscarArchivoPrograma(QStringLiteral("mskNinguna.txt")).isEmpty());
    EXPECT_EQ(CarpetaMascaras(QStringLiteral("mskNinguna.txt")), programa.path());
    EscribirArchivo(programa.filePath(QStringLiteral("mskNinguna.txt")), {});
    EXPECT_EQ(BuscarArchivoPrograma(QStringLiteral("mskNinguna.txt")), programa.filePath(QStringLiteral("mskNinguna.txt")));
    EXPECT_EQ(CarpetaMascaras(QStringLiteral("mskNinguna.txt")), programa.path());
}

// An installed copy (bin/ beside share/quenza) never writes beside its executable, even where it
// could (root): one folder of the user's, ~/.config/Quenza, which takes the settings of the
// folder older versions used.
TEST_F(Configuracion, AnInstalledCopyKeepsItsSettingsInTheUsersFolderOnly)
{
    QTemporaryDir raiz, casa;
    ASSERT_TRUE(QDir(raiz.path()).mkpath(QStringLiteral("usr/bin")));
    ASSERT_TRUE(QDir(raiz.path()).mkpath(QStringLiteral("usr/share/quenza")));
    const QByteArray xdg = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", casa.filePath(QStringLiteral(".config")).toUtf8());
    Global::DirectorioPrograma = raiz.filePath(QStringLiteral("usr/bin"));
    ASSERT_TRUE(QFileInfo(Global::DirectorioPrograma).isWritable());

    const QString antigua = casa.filePath(QStringLiteral(".config/Quenza/Quenza/Quenza.ini"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(antigua).path()));
    EscribirArchivo(antigua, "[General]\nNombreEmpresa=Casa Vieja\n");

    const QString ruta = RutaConfiguracion();
    EXPECT_EQ(ruta, casa.filePath(QStringLiteral(".config/Quenza/Quenza.ini")));
    LeerConfiguracion();
    EXPECT_EQ(Global::NombreEmpresa, QStringLiteral("Casa Vieja"));
    Global::NombreEmpresa = QStringLiteral("Casa Nueva");
    GuardarConfiguracion();
    EXPECT_TRUE(QDir(Global::DirectorioPrograma).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(RutaConfiguracion(), ruta);
    LeerConfiguracion();
    EXPECT_EQ(Global::NombreEmpresa, QStringLiteral("Casa Nueva"));

    // A copy run from its own folder keeps them beside itself.
    Global::DirectorioPrograma = programa.path();
    EXPECT_EQ(RutaConfiguracion(), rutaIni());
    if (xdg.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", xdg);
}

}  // namespace
