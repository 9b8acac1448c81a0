#include "global.h"

#include "archivoini.h"
#include "formato.h"
#include "utilidades.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

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

namespace {

// An installed copy has its data in share/quenza beside its bin folder.
bool ProgramaInstalado(const QString& dir)
{
    return QFileInfo(QDir(dir).filePath(QStringLiteral("../share/quenza"))).isDir();
}

// The user's own folder (~/.config/Quenza), and the one that older versions used.
QString CarpetaUsuario()
{
    return UnirRuta(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation), QStringLiteral("Quenza"));
}
QString CarpetaUsuarioAntigua() { return UnirRuta(CarpetaUsuario(), QStringLiteral("Quenza")); }

}  // namespace

QString RutaConfiguracion()
{
    const QString nombre = Global::NombrePrograma + QStringLiteral(".ini");
    const QString dir = Global::DirectorioPrograma.isEmpty() ? QDir::currentPath() : Global::DirectorioPrograma;
    const QString enPrograma = UnirRuta(dir, nombre);
    // A copy run from its own folder (the build, a copy on a stick) keeps its settings beside
    // it while it can write there. An installed one never writes beside its executable, not
    // even run by root: the settings are the user's, in one folder.
    if (!ProgramaInstalado(dir)) {
        const QFileInfo info(dir);
        if (QFileInfo::exists(enPrograma) ? QFileInfo(enPrograma).isWritable() : info.isWritable())
            return enPrograma;
    }
    const QString usuario = CarpetaUsuario();
    QDir().mkpath(usuario);
    const QString ruta = UnirRuta(usuario, nombre);
    // Settings kept by an older version in ~/.config/Quenza/Quenza come along once.
    const QString antigua = UnirRuta(CarpetaUsuarioAntigua(), nombre);
    if (!QFileInfo::exists(ruta) && QFileInfo::exists(antigua))
        QFile::copy(antigua, ruta);
    return ruta;
}

QString BuscarArchivoPrograma(const QString& nombre)
{
    QStringList carpetas{QFileInfo(RutaConfiguracion()).path()};
    // A mask a shop edited in the folder of older versions still wins over the shipped one.
    if (carpetas.front() == QDir::cleanPath(CarpetaUsuario()))
        carpetas << CarpetaUsuarioAntigua();
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

QString CarpetaKV740Propuesta()
{
    const QString programa = Global::DirectorioPrograma.isEmpty() ? QDir::currentPath() : Global::DirectorioPrograma;
    const QString casa = QDir::homePath();
    // The demo made beside the program first, then the usual places of a shared installation.
    const QStringList candidatas{UnirRuta(programa, QStringLiteral("../demo")), QStringLiteral("/srv/kv740"),
                                 QStringLiteral("/opt/kv740"), UnirRuta(casa, QStringLiteral("kv740")),
                                 UnirRuta(casa, QStringLiteral("KV740"))};
    for (const QString& c : candidatas)
        if (QFileInfo(UnirRuta(c, QStringLiteral("KV740.INI"))).isFile())
            return QDir::cleanPath(QFileInfo(c).absoluteFilePath());
    return casa;
}

QString LeerConfiguracion()
{
    ArchivoIni ini(RutaConfiguracion());
    ini.setSeccion(QStringLiteral("General"));
    QString home = ini.leer(QStringLiteral("HomeDir"));
    if (home.isEmpty()) {
        ini.escribir(QStringLiteral("HomeDir"), CarpetaKV740Propuesta());
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
    return ini.error();
}

// KV740.INI in HomeDir; installations copied from the old PCs may keep the name in another case.
static QString rutaKV740Ini()
{
    const QString ruta = UnirRuta(Global::HomeDir, QStringLiteral("KV740.INI"));
    if (QFileInfo::exists(ruta))
        return ruta;
    const QDir dir(Global::HomeDir);
    for (const QString& p : dir.entryList({QStringLiteral("kv740.ini")}, QDir::Files))
        if (p.compare(QLatin1String("KV740.INI"), Qt::CaseInsensitive) == 0)
            return dir.filePath(p);
    return ruta;
}

// Why KV740.INI was not read whole (not a regular file, too big); empty when it was.
static QString s_errorKV740Ini;

void LeerConfiguracionKV740()
{
    ArchivoIni ini(rutaKV740Ini());
    ini.setSeccion(QString());
    Global::RutaBaseDatos = ini.leer(QStringLiteral("BaseDatos")).trimmed();
    s_errorKV740Ini = ini.error();
}

QString GuardarConfiguracion()
{
    ArchivoIni ini(RutaConfiguracion());
    if (!ini.error().isEmpty())
        return ini.error();
    bool escrito = true;
    auto escribir = [&](const QString& clave, const QString& valor) { escrito = ini.escribir(clave, valor) && escrito; };
    ini.setSeccion(QStringLiteral("General"));
    escribir(QStringLiteral("HomeDir"), Global::HomeDir);
    escribir(QStringLiteral("NombreEmpresa"), Global::NombreEmpresa);
    escribir(QStringLiteral("Grupo"), QString::number(Global::Grupo));
    escribir(QStringLiteral("Precio"), QString::number(Global::Precio));
    escribir(QStringLiteral("IVADesglosado"), BooleanoATexto(Global::IVADesglosado));
    ini.setSeccion(QStringLiteral("RecargoEquivalencia"));
    for (int d = 1; d <= 10; ++d)
        escribir(claveDepartamento(d),
                 Formato(static_cast<double>(Global::RecargoEquivalencia[static_cast<size_t>(d)]), QStringLiteral("0.0;-0.0;#")));
    if (escrito)
        return {};
    return QStringLiteral("No se pudo escribir el archivo de configuración «%1». Compruebe que la carpeta existe y "
                          "que tiene permiso para escribir en ella.")
        .arg(QDir::toNativeSeparators(ini.ruta()));
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

QString MotivoSinBaseDatos()
{
    if (!Global::RutaBaseDatos.isEmpty())
        return {};
    if (!s_errorKV740Ini.isEmpty())
        return s_errorKV740Ini;
    const QString ini = rutaKV740Ini();
    if (!QFileInfo(ini).isFile())
        return QStringLiteral("No se encuentra el archivo KV740.INI en la carpeta «%1». Pulse «Cambiar» y elija la "
                              "carpeta donde está instalado KV740.")
            .arg(QDir::toNativeSeparators(Global::HomeDir));
    return QStringLiteral("El archivo «%1» no indica ninguna base de datos (le falta la clave BaseDatos). Pulse "
                          "«Cambiar» y elija la carpeta donde está instalado KV740.")
        .arg(QDir::toNativeSeparators(ini));
}

QString MotivoErrorBaseDatos(const QString& ruta, int codigo, const QString& mensaje)
{
    if (motor::EsConexionPostgreSQL(ruta)) {
        // A database on a server: what went wrong is the connection, the user or the database.
        const QString destino = motor::ConexionParaMostrar(ruta);
        switch (codigo & 0xff) {
        case SQLITE_AUTH:
            // The store says whether the password was refused, missing or not given.
            return QStringLiteral("No se puede entrar en el servidor de la base de datos «%1»: %2. Compruebe el usuario y "
                                  "la contraseña o elija otra base de datos (la contraseña nunca se guarda en la configuración).")
                .arg(destino, mensaje.isEmpty() ? QStringLiteral("el servidor no acepta el usuario o la contraseña") : mensaje);
        case SQLITE_CANTOPEN:
            return QStringLiteral("No existe la base de datos «%1» en el servidor (%2). Compruebe su nombre o elija otra.")
                .arg(destino, mensaje);
        case SQLITE_IOERR:
            return QStringLiteral("No se puede conectar con el servidor de la base de datos «%1». Compruebe que el servidor "
                                  "está encendido y que la red llega a él, y vuelva a intentarlo.")
                .arg(destino);
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return QStringLiteral("La base de datos «%1» está en uso por otro programa o puesto, que no deja escribir en ella. "
                                  "Espere a que termine y pulse «Aceptar», o elija otra base de datos.")
                .arg(destino);
        default:
            return QStringLiteral("No se puede usar la base de datos «%1» (%2).").arg(destino, mensaje);
        }
    }
    const QString archivo = QDir::toNativeSeparators(ruta);
    switch (codigo & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("La base de datos «%1» está en uso por otro programa, que no deja escribir en ella. "
                              "Cierre ese programa y pulse «Aceptar», o elija otra carpeta.")
            .arg(archivo);
    case SQLITE_NOTADB:
        return QStringLiteral("El archivo «%1» no es una base de datos. Compruebe la clave BaseDatos de KV740.INI o "
                              "elija otra carpeta.")
            .arg(archivo);
    case SQLITE_CORRUPT:
        return QStringLiteral("La base de datos «%1» está dañada. Recupere una copia de seguridad o elija otra carpeta.")
            .arg(archivo);
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("No hay permiso para escribir en la base de datos «%1». Pida que le den permiso de "
                              "escritura o elija otra carpeta.")
            .arg(archivo);
    case SQLITE_CANTOPEN:
        return QStringLiteral("No se puede abrir la base de datos «%1». Compruebe que existe y que tiene permiso "
                              "para usarla.")
            .arg(archivo);
    case SQLITE_FULL:
    case SQLITE_IOERR:
        return QStringLiteral("No se puede leer o escribir la base de datos «%1» (disco lleno o error de lectura). "
                              "Libere espacio o compruebe el disco.")
            .arg(archivo);
    default:
        return QStringLiteral("No se puede usar la base de datos «%1» (%2). Elija otra carpeta.").arg(archivo, mensaje);
    }
}

std::unique_ptr<BaseDatos> PrepararBaseDatos(const QString& ruta, QString& motivo)
{
    motivo.clear();
    const bool servidor = motor::EsConexionPostgreSQL(ruta);
    const QString archivo = servidor ? motor::ConexionParaMostrar(ruta) : QDir::toNativeSeparators(ruta);
    const QFileInfo info(ruta);
    if (ruta.trimmed().isEmpty()) {
        motivo = QStringLiteral("No se ha indicado ninguna base de datos.");
        return nullptr;
    }
    if (!servidor) {
    if (!info.exists()) {
        motivo = QStringLiteral("No se encuentra la base de datos «%1». Compruebe la clave BaseDatos de KV740.INI o "
                                "elija otra carpeta.")
                     .arg(archivo);
        return nullptr;
    }
    if (!info.isFile()) {
        motivo = QStringLiteral("«%1» no es un archivo de base de datos. Compruebe la clave BaseDatos de KV740.INI o "
                                "elija otra carpeta.")
                     .arg(archivo);
        return nullptr;
    }
    // SQLite would take an empty file for a new database and write into it.
    if (info.size() == 0) {
        motivo = QStringLiteral("El archivo «%1» está vacío: no es una base de datos de KV740. Compruebe la clave "
                                "BaseDatos de KV740.INI o elija otra carpeta.")
                     .arg(archivo);
        return nullptr;
    }
    }
    auto bd = std::make_unique<BaseDatos>(ruta);
    if (!bd->Abierta()) {
        motivo = MotivoErrorBaseDatos(ruta, bd->CodigoErrorApertura(), bd->ErrorApertura());
        return nullptr;
    }
    try {
        QStringList faltan;
        for (const char* tabla : {"GRUPOS", "SECCS", "PLUSES", "Transacs"})
            if (!bd->Motor()->existeTabla(QString::fromLatin1(tabla)))
                faltan << QString::fromLatin1(tabla);
        if (!faltan.isEmpty()) {
            motivo = QStringLiteral("La base de datos «%1» no tiene las tablas de KV740 (falta %2). Elija la carpeta "
                                    "donde está instalado KV740.")
                         .arg(archivo, faltan.join(QStringLiteral(", ")));
            return nullptr;
        }
        if (AntesDeActualizarBaseDatos)
            AntesDeActualizarBaseDatos(*bd);
        bd->CrearTablasNuevas();
    } catch (const ErrorActualizacion& e) {
        const int primario = e.codigoSqlite() & 0xff;
        motivo = (primario == SQLITE_BUSY || primario == SQLITE_LOCKED || primario == SQLITE_CORRUPT
                  || primario == SQLITE_NOTADB)
            ? MotivoErrorBaseDatos(ruta, e.codigoSqlite(), e.mensaje())
            : QStringLiteral("No se pudo actualizar la base de datos «%1» (paso %2): %3. La base de datos queda como "
                             "estaba; elija otra carpeta o recupere una copia de seguridad.")
                  .arg(archivo)
                  .arg(e.paso())
                  .arg(e.mensaje());
        return nullptr;
    } catch (const motor::Error& e) {
        motivo = MotivoErrorBaseDatos(ruta, e.codigoSqlite(), e.mensaje());
        return nullptr;
    }
    return bd;
}

float RecargoLegal(float iva)
{
    struct Par {
        float iva, recargo;
    };
    static constexpr Par legales[] = {{21.0f, 5.2f}, {10.0f, 1.4f}, {4.0f, 0.5f}};
    for (const Par& p : legales)
        if (std::abs(iva - p.iva) < 0.005f)
            return p.recargo;
    return 0.0f;
}
