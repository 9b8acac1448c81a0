#include "global.h"

#include "archivoini.h"
#include "formato.h"
#include "utilidades.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>

namespace Global {

void Reiniciar()
{
    BD.reset();
    HomeDir.clear();
    RutaBaseDatos.clear();
    Grupo = Precio = Seccion = Tarifa = 0;
    Almacen = 0;
    IVADesglosado = false;
    IVADepartamento.fill(0);
    RecargoEquivalencia.fill(0);
    NombreEmpresa.clear();
}

}  // namespace Global

QString RutaConfiguracion()
{
    const QString nombre = Global::NombrePrograma + QStringLiteral(".ini");
    const QString dir = Global::DirectorioPrograma.isEmpty() ? QDir::currentPath() : Global::DirectorioPrograma;
    const QString enPrograma = UnirRuta(dir, nombre);
    // Installed where the program's directory is not writable, the settings go to the user's.
    const QFileInfo info(dir);
    if (QFileInfo::exists(enPrograma) ? QFileInfo(enPrograma).isWritable() : info.isWritable())
        return enPrograma;
    const QString usuario = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(usuario);
    return UnirRuta(usuario, nombre);
}

QString BuscarArchivoPrograma(const QString& nombre)
{
    QStringList carpetas{QFileInfo(RutaConfiguracion()).path()};
    if (!Global::DirectorioPrograma.isEmpty())
        carpetas << Global::DirectorioPrograma;
    if (QCoreApplication::instance()) {
        const QString programa = QCoreApplication::applicationDirPath();
        carpetas << programa << QDir(programa).filePath(QStringLiteral("../share/quenza"));
    }
    carpetas << QStringLiteral("/usr/local/share/quenza") << QStringLiteral("/usr/share/quenza");
    for (const QString& carpeta : carpetas) {
        const QString ruta = QDir(carpeta).filePath(nombre);
        if (QFileInfo(ruta).isFile())
            return QDir::cleanPath(ruta);
    }
    return {};
}

QString CarpetaMascaras(const QString& mascara)
{
    const QString ruta = BuscarArchivoPrograma(mascara);
    return QFileInfo(ruta.isEmpty() ? RutaConfiguracion() : ruta).path();
}

static QString claveDepartamento(int d) { return QStringLiteral("Dept") + NumeroConCeros(d, 2); }

void LeerConfiguracion()
{
    ArchivoIni ini(RutaConfiguracion());
    ini.setSeccion(QStringLiteral("General"));
    QString home = ini.leer(QStringLiteral("HomeDir"));
    if (home.isEmpty()) {
        ini.escribir(QStringLiteral("HomeDir"), QStringLiteral("C:\\Archivos de programa\\Kv740"));
        home = ini.leer(QStringLiteral("HomeDir"));
    }
    Global::HomeDir = home;
    Global::NombreEmpresa = ini.leer(QStringLiteral("NombreEmpresa"));
    Global::Grupo = AEntero16(Val(ini.leer(QStringLiteral("Grupo"))));
    Global::Precio = AEntero16(Val(ini.leer(QStringLiteral("Precio"))));
    Global::IVADesglosado = TextoABooleano(ini.leer(QStringLiteral("IVADesglosado")));
    ini.setSeccion(QStringLiteral("RecargoEquivalencia"));
    for (int d = 1; d <= 10; ++d) {
        const std::optional<double> v = LeerNumero(ini.leer(claveDepartamento(d)));
        Global::RecargoEquivalencia[static_cast<size_t>(d)] = v ? static_cast<float>(*v) : 0.0f;
    }
}

void LeerConfiguracionKV740()
{
    ArchivoIni ini(UnirRuta(Global::HomeDir, QStringLiteral("KV740.INI")));
    if (!QFileInfo::exists(ini.ruta())) {
        // Installations copied from the old PCs may keep the name in another case.
        const QDir dir(Global::HomeDir);
        const QStringList parecidos = dir.entryList({QStringLiteral("kv740.ini")}, QDir::Files);
        for (const QString& p : parecidos)
            if (p.compare(QLatin1String("KV740.INI"), Qt::CaseInsensitive) == 0)
                ini.setRuta(dir.filePath(p));
    }
    ini.setSeccion(QString());
    Global::RutaBaseDatos = ini.leer(QStringLiteral("BaseDatos")).trimmed();
}

void GuardarConfiguracion()
{
    ArchivoIni ini(RutaConfiguracion());
    ini.setSeccion(QStringLiteral("General"));
    ini.escribir(QStringLiteral("HomeDir"), Global::HomeDir);
    ini.escribir(QStringLiteral("NombreEmpresa"), Global::NombreEmpresa);
    ini.escribir(QStringLiteral("Grupo"), QString::number(Global::Grupo));
    ini.escribir(QStringLiteral("Precio"), QString::number(Global::Precio));
    ini.escribir(QStringLiteral("IVADesglosado"), BooleanoATexto(Global::IVADesglosado));
    ini.setSeccion(QStringLiteral("RecargoEquivalencia"));
    for (int d = 1; d <= 10; ++d)
        ini.escribir(claveDepartamento(d),
                     Formato(static_cast<double>(Global::RecargoEquivalencia[static_cast<size_t>(d)]), QStringLiteral("0.0;-0.0;#")));
}

std::optional<std::array<int, 4>> LeerPosicionVentana(const QString& nombre)
{
    ArchivoIni ini(RutaConfiguracion());
    ini.setSeccion(QStringLiteral("Ventanas"));
    const QStringList partes = ini.leer(nombre).split(QLatin1Char('|'));
    if (partes.size() < 4)
        return std::nullopt;
    std::array<int, 4> r{};
    for (int i = 0; i < 4; ++i)
        r[static_cast<size_t>(i)] = static_cast<int>(std::lround(Val(partes[i])));
    return r;
}

void GuardarPosicionVentana(const QString& nombre, const std::array<int, 4>& p)
{
    ArchivoIni ini(RutaConfiguracion());
    ini.setSeccion(QStringLiteral("Ventanas"));
    ini.escribir(nombre, QStringLiteral("%1|%2|%3|%4").arg(p[0]).arg(p[1]).arg(p[2]).arg(p[3]));
}

void AbrirBaseDatos()
{
    Global::BD.reset();
    Global::BD = std::make_unique<BaseDatos>(Global::RutaBaseDatos);
}
