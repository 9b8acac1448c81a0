#include "declaracion.h"

#include "archivoini.h"
#include "global.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>

namespace verifactu {

DatosProductor LeerDatosProductor(const QString& ruta)
{
    ArchivoIni ini(ruta);
    DatosProductor d;
    ini.setSeccion(QStringLiteral("Productor"));
    d.Nombre = ini.leer(QStringLiteral("Nombre")).trimmed();
    d.NIF = ini.leer(QStringLiteral("NIF")).trimmed();
    d.Direccion = ini.leer(QStringLiteral("Direccion")).trimmed();
    ini.setSeccion(QStringLiteral("Declaracion"));
    d.Fecha = ini.leer(QStringLiteral("Fecha")).trimmed();
    d.Lugar = ini.leer(QStringLiteral("Lugar")).trimmed();
    return d;
}

SistemaInformatico SistemaDeclarado(const QString& numeroInstalacion, const QString& ruta)
{
    SistemaInformatico s = Quenza(numeroInstalacion);
    const DatosProductor p = LeerDatosProductor(ruta);
    if (!p.Nombre.isEmpty())
        s.NombreRazon = p.Nombre;
    if (!p.NIF.isEmpty())
        s.NIF = p.NIF.toUpper();
    return s;
}

SistemaInformatico SistemaDeclarado(const QString& numeroInstalacion)
{
    // Every record asks: the file is read again only when it changes.
    static QMutex cerrojo;
    static QString leida;
    static std::pair<QDateTime, qint64> cambiada;
    static SistemaInformatico sistema;
    const QString ruta = BuscarArchivoPrograma(QStringLiteral("declaracion.ini"));
    const QFileInfo info(ruta);
    const std::pair<QDateTime, qint64> cambio{info.lastModified(), info.size()};
    QMutexLocker bloqueo(&cerrojo);
    if (ruta != leida || cambio != cambiada || sistema.NombreSistemaInformatico.isEmpty()) {
        sistema = SistemaDeclarado(QString(), ruta);
        leida = ruta;
        cambiada = cambio;
    }
    SistemaInformatico s = sistema;
    s.NumeroInstalacion = Quenza(numeroInstalacion).NumeroInstalacion;
    return s;
}

std::vector<std::pair<QString, QString>> DeclaracionResponsable(const DatosProductor& p, const SistemaInformatico& s)
{
    auto o = [](const QString& v) { return v.isEmpty() ? QStringLiteral("pendiente") : v; };
    return {
        {QStringLiteral("Nombre del sistema informático de facturación"), s.NombreSistemaInformatico},
        {QStringLiteral("Código identificador del sistema"), s.IdSistemaInformatico},
        {QStringLiteral("Versión"), s.Version},
        {QStringLiteral("Componentes y funcionalidades"),
         QStringLiteral("Programa de escritorio para ordenadores personales (Linux), que trabaja sobre la base de datos SQLite de la "
                        "línea de balanzas KV740, compartida por los puestos del comercio. Funcionalidades: clientes, albaranes y "
                        "facturas (una a una o por lotes), facturas rectificativas y anulación de facturas, impresión con código QR "
                        "tributario, registros de facturación de alta y de anulación encadenados con su huella, comprobación de la "
                        "cadena, exportación de los registros y su remisión a la Agencia Tributaria por su servicio web con el "
                        "certificado del comercio.")},
        {QStringLiteral("Modalidad"),
         QStringLiteral("Solo VERI*FACTU: todos los registros de facturación se remiten a la Agencia Tributaria; no funciona como "
                        "sistema «NO VERI*FACTU» ni firma los registros.")},
        {QStringLiteral("Uso por varios obligados tributarios"),
         QStringLiteral("No: cada base de datos lleva los registros de un solo obligado tributario, el comercio.")},
        {QStringLiteral("Productor (razón social)"), o(p.Nombre)},
        {QStringLiteral("NIF del productor"), o(p.NIF)},
        {QStringLiteral("Dirección postal de contacto"), o(p.Direccion)},
        {QStringLiteral("Declaración"),
         QStringLiteral("El productor declara que este sistema informático de facturación, en la versión indicada, cumple lo dispuesto "
                        "en el artículo 29.2.j) de la Ley 58/2003, de 17 de diciembre, General Tributaria, en el Reglamento que "
                        "establece los requisitos que deben adoptar los sistemas y programas informáticos o electrónicos que soporten "
                        "los procesos de facturación de empresarios y profesionales, aprobado por el Real Decreto 1007/2023, de 5 de "
                        "diciembre, en la Orden HAC/1177/2024, de 17 de octubre, y en las especificaciones que la desarrollan.")},
        {QStringLiteral("Fecha"), o(p.Fecha)},
        {QStringLiteral("Lugar"), o(p.Lugar)},
    };
}

}  // namespace verifactu
