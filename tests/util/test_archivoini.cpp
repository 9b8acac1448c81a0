#include "archivoini.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray leerArchivo(const QString& ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void escribirArchivo(const QString& ruta, const QByteArray& contenido)
{
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(contenido);
}

TEST(ArchivoIni, MissingFileOrKeyReadsEmpty)
{
    QTemporaryDir dir;
    ArchivoIni ini(dir.filePath(QStringLiteral("no-existe.ini")));
    ini.setSeccion(QStringLiteral("General"));
    EXPECT_EQ(ini.leer(QStringLiteral("HomeDir")), QString());
    EXPECT_FALSE(QFile::exists(ini.ruta()));  // reading never creates the file
    ArchivoIni sinRuta;
    EXPECT_EQ(sinRuta.leer(QStringLiteral("x")), QString());
}

TEST(ArchivoIni, ReadsBackExactlyWhatItWrites)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("Quenza.ini"));
    const QStringList valores{QStringLiteral("C:\\Archivos de programa\\Kv740"), QStringLiteral(" espacios  "),
                              QStringLiteral("a=b=c"), QStringLiteral("NUÑEZ € ;#"), QString()};
    {
        ArchivoIni ini(ruta);
        ini.setSeccion(QStringLiteral("General"));
        for (int i = 0; i < valores.size(); ++i)
            ASSERT_TRUE(ini.escribir(QStringLiteral("k%1").arg(i), valores[i]));
        ini.setSeccion(QStringLiteral("Ventanas"));
        ini.setClave(QStringLiteral("BrowCli"));
        ini.escribir(QStringLiteral("1|2|3|4"));
    }
    ArchivoIni ini(ruta);
    ini.setSeccion(QStringLiteral("General"));
    for (int i = 0; i < valores.size(); ++i)
        EXPECT_EQ(ini.leer(QStringLiteral("k%1").arg(i)), valores[i]);
    ini.setSeccion(QStringLiteral("Ventanas"));
    EXPECT_EQ(ini.leer(QStringLiteral("BrowCli")), QStringLiteral("1|2|3|4"));
    EXPECT_EQ(ini.leer(QStringLiteral("k0")), QString());  // sections are separate
}

TEST(ArchivoIni, KeepsOtherLinesAndIgnoresMalformedOnes)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("x.ini"));
    escribirArchivo(ruta, "; comentario\r\n[General]\r\nbasura sin igual\r\n=sin clave\r\nGrupo=3\r\n\r\n[Otra]\r\nGrupo=9\r\n");
    ArchivoIni ini(ruta);
    ini.setSeccion(QStringLiteral("general"));  // sections compare without case
    EXPECT_EQ(ini.leer(QStringLiteral("GRUPO")), QStringLiteral("3"));
    ini.escribir(QStringLiteral("Grupo"), QStringLiteral("4"));
    ini.escribir(QStringLiteral("Nueva"), QStringLiteral("v"));
    EXPECT_EQ(leerArchivo(ruta),
              QByteArray("; comentario\r\n[General]\r\nbasura sin igual\r\n=sin clave\r\nGrupo=4\r\nNueva=v\r\n\r\n[Otra]\r\nGrupo=9\r\n"));
}

TEST(ArchivoIni, KeyWithoutSectionIsFoundAnywhere)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("KV740.INI"));
    escribirArchivo(ruta, "[KV740]\nVersion=3\n[Rutas]\nBaseDatos=C:\\KV740\\DATOS\\KV740.MDB\n");
    ArchivoIni ini(ruta);
    ini.setSeccion(QString());
    EXPECT_EQ(ini.leer(QStringLiteral("BaseDatos")), QStringLiteral("C:\\KV740\\DATOS\\KV740.MDB"));
}

TEST(ArchivoIni, OldPcFilesKeepTheirCodePage)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("viejo.ini"));
    escribirArchivo(ruta, "[General]\nNombreEmpresa=CARNICER\xcd" "A NU\xd1" "EZ\n");
    ArchivoIni ini(ruta);
    ini.setSeccion(QStringLiteral("General"));
    EXPECT_EQ(ini.leer(QStringLiteral("NombreEmpresa")), QStringLiteral("CARNICERÍA NUÑEZ"));
    ini.escribir(QStringLiteral("Grupo"), QStringLiteral("1"));
    EXPECT_TRUE(leerArchivo(ruta).contains("CARNICER\xcd" "A NU\xd1" "EZ"));
}

TEST(ArchivoIni, AFileTooBigIsNeverCutAndANonFileNeverRead)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("grande.ini"));
    QByteArray contenido = "[General]\r\nHomeDir=/kv740\r\n";
    contenido += QByteArray(ArchivoIni::kTamanoMaximo, ';') + "\r\nUltima=1\r\n";
    escribirArchivo(ruta, contenido);
    ArchivoIni ini(ruta);
    ini.setSeccion(QStringLiteral("General"));
    EXPECT_EQ(ini.leer(QStringLiteral("HomeDir")), QStringLiteral("/kv740"));
    EXPECT_FALSE(ini.error().isEmpty());
    EXPECT_FALSE(ini.escribir(QStringLiteral("HomeDir"), QStringLiteral("/otro")));
    EXPECT_EQ(leerArchivo(ruta), contenido);  // the keys past the limit are still there

    const QString tuberia = dir.filePath(QStringLiteral("KV740.INI"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("mkfifo"), {tuberia}), 0);
    ArchivoIni fifo(tuberia);  // would block for ever if opened
    EXPECT_EQ(fifo.leer(QStringLiteral("BaseDatos")), QString());
    EXPECT_FALSE(fifo.error().isEmpty());
    EXPECT_FALSE(fifo.escribir(QStringLiteral("BaseDatos"), QStringLiteral("x")));
}

}  // namespace
