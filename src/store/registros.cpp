// VERI*FACTU store: the mode of the database, and its records of issue and annulment, which are
// only ever appended.

#include "basedatos.h"

#include <algorithm>

using motor::DefCampo;
using motor::DefIndice;
using motor::DefTabla;
using motor::TipoCampo;
using verifactu::Registro;

namespace {

const QString kAjustes = QStringLiteral("Verifactu");
const QString kRegistros = QStringLiteral("RegistroFacturacion");
const QString kDesglose = QStringLiteral("RegistroFacturacionDesglose");

DefCampo campo(const char* nombre, TipoCampo tipo, int tamano = 0)
{
    return DefCampo{QString::fromLatin1(nombre), tipo, tamano, std::nullopt};
}

DefTabla tablaAjustes()
{
    return DefTabla{kAjustes,
                    {campo("Codigo", TipoCampo::Largo), campo("Activo", TipoCampo::Booleano), campo("NumeroInstalacion", TipoCampo::Texto, 100),
                     campo("Certificado", TipoCampo::Texto, 255), campo("Pruebas", TipoCampo::Booleano)},
                    {DefIndice{QStringLiteral("Codigo"), true, true, {QStringLiteral("Codigo")}}}};
}

// The fields the fingerprint and the agency see; only the sending state may change later.
const char* const kCamposFiscales[] = {
    "Orden", "Tipo", "Serie", "Numero", "Dia", "IDEmisorFactura", "NombreRazonEmisor", "NumSerieFactura",
    "FechaExpedicionFactura", "TipoFactura", "NIFDestinatario", "NombreDestinatario", "CuotaTotal", "ImporteTotal",
    "AnteriorIDEmisorFactura", "AnteriorNumSerieFactura", "AnteriorFechaExpedicionFactura", "AnteriorHuella",
    "FechaHoraHusoGenRegistro", "TipoHuella", "Huella", "XML", "TipoRectificativa", "RectificadaIDEmisorFactura",
    "RectificadaNumSerieFactura", "RectificadaFechaExpedicionFactura", "BaseRectificada", "CuotaRectificada", "RecargoRectificado",
    "PaisDestinatario", "IDTypeDestinatario", "IDOtroDestinatario"};

DefTabla tablaRegistros()
{
    return DefTabla{kRegistros,
                    {campo("Orden", TipoCampo::Largo), campo("Tipo", TipoCampo::Texto, 1), campo("Serie", TipoCampo::Entero),
                     campo("Numero", TipoCampo::Largo), campo("Dia", TipoCampo::Texto, 10),
                     campo("IDEmisorFactura", TipoCampo::Texto, 9), campo("NombreRazonEmisor", TipoCampo::Texto, 120),
                     campo("NumSerieFactura", TipoCampo::Texto, 60), campo("FechaExpedicionFactura", TipoCampo::Texto, 10),
                     campo("TipoFactura", TipoCampo::Texto, 2), campo("NIFDestinatario", TipoCampo::Texto, 9),
                     campo("NombreDestinatario", TipoCampo::Texto, 120), campo("CuotaTotal", TipoCampo::Largo),
                     campo("ImporteTotal", TipoCampo::Largo), campo("AnteriorIDEmisorFactura", TipoCampo::Texto, 9),
                     campo("AnteriorNumSerieFactura", TipoCampo::Texto, 60),
                     campo("AnteriorFechaExpedicionFactura", TipoCampo::Texto, 10), campo("AnteriorHuella", TipoCampo::Texto, 64),
                     campo("FechaHoraHusoGenRegistro", TipoCampo::Texto, 25), campo("TipoHuella", TipoCampo::Texto, 2),
                     campo("Huella", TipoCampo::Texto, 64), campo("XML", TipoCampo::Memo), campo("EstadoEnvio", TipoCampo::Texto, 20),
                     campo("TipoRectificativa", TipoCampo::Texto, 1), campo("RectificadaIDEmisorFactura", TipoCampo::Texto, 9),
                     campo("RectificadaNumSerieFactura", TipoCampo::Texto, 60),
                     campo("RectificadaFechaExpedicionFactura", TipoCampo::Texto, 10), campo("BaseRectificada", TipoCampo::Largo),
                     campo("CuotaRectificada", TipoCampo::Largo), campo("RecargoRectificado", TipoCampo::Largo),
                     campo("PaisDestinatario", TipoCampo::Texto, 2), campo("IDTypeDestinatario", TipoCampo::Texto, 2),
                     campo("IDOtroDestinatario", TipoCampo::Texto, 20)},
                    {DefIndice{QStringLiteral("Orden"), true, true, {QStringLiteral("Orden")}},
                     DefIndice{QStringLiteral("Factura"), false, false, {QStringLiteral("Serie"), QStringLiteral("Numero")}},
                     DefIndice{QStringLiteral("Dia"), false, false, {QStringLiteral("Dia")}}}};
}

DefTabla tablaDesglose()
{
    return DefTabla{kDesglose,
                    {campo("Orden", TipoCampo::Largo), campo("Linea", TipoCampo::Entero), campo("Sujeta", TipoCampo::Booleano),
                     campo("TipoImpositivo", TipoCampo::Largo), campo("Base", TipoCampo::Largo), campo("Cuota", TipoCampo::Largo),
                     campo("TipoRecargo", TipoCampo::Largo), campo("CuotaRecargo", TipoCampo::Largo)},
                    {DefIndice{QStringLiteral("Orden"), true, true, {QStringLiteral("Orden"), QStringLiteral("Linea")}}}};
}

QString Texto(const Valor& v)
{
    return v.esNulo() ? QString() : v.aTexto();
}

}  // namespace

void BaseDatos::CrearTablasVerifactu()
{
    motor::BaseDeDatos& bd = *m_bd;
    if (!bd.existeTabla(kAjustes))
        bd.crearTabla(tablaAjustes());
    if (!bd.existeTabla(kRegistros))
        bd.crearTabla(tablaRegistros());
    if (!bd.existeTabla(kDesglose))
        bd.crearTabla(tablaDesglose());
    // A rectifying invoice names the invoice it corrects and how.
    const QString fcab = QStringLiteral("FacturaVentaCabecera");
    AnadirCampo(fcab, QStringLiteral("RectificaSerie"), TipoCampo::Entero);
    AnadirCampo(fcab, QStringLiteral("RectificaNumero"), TipoCampo::Largo);
    AnadirCampo(fcab, QStringLiteral("TipoRectificativa"), TipoCampo::Texto, 1);
    // A foreign customer's identification, added to records tables made before it.
    AnadirCampo(kRegistros, QStringLiteral("PaisDestinatario"), TipoCampo::Texto, 2);
    AnadirCampo(kRegistros, QStringLiteral("IDTypeDestinatario"), TipoCampo::Texto, 2);
    AnadirCampo(kRegistros, QStringLiteral("IDOtroDestinatario"), TipoCampo::Texto, 20);

    // Records are append-only and outlive nothing they speak of, whatever program writes the
    // file: the engine itself refuses to delete or rewrite them, to delete or renumber an invoice
    // that has one, and to turn the mode off once the chain has begun.
    QStringList fiscales;
    for (const char* c : kCamposFiscales)
        fiscales << motor::CitarIdentificador(QString::fromLatin1(c));
    const QString conRegistro = QStringLiteral("EXISTS (SELECT 1 FROM RegistroFacturacion r WHERE r.Serie=OLD.Serie AND r.Numero=OLD.Numero)");
    // Yes/no fields are 0/1 integers on PostgreSQL, which wants a truth value in a condition.
    const bool pg = bd.esPostgreSQL();
    const QString activoAntes = pg ? QStringLiteral("OLD.Activo <> 0") : QStringLiteral("OLD.Activo");
    const QString activoAhora = pg ? QStringLiteral("NEW.Activo <> 0") : QStringLiteral("NEW.Activo");
    const struct {
        const char* nombre;
        const char* tabla;
        QString evento;
        QString condicion;
        const char* mensaje;
    } disparadores[] = {
        {"RegistroFacturacion_NoBorrar", "RegistroFacturacion", QStringLiteral("DELETE"), {},
         "Los registros de facturación no se borran"},
        {"RegistroFacturacion_NoCambiar", "RegistroFacturacion", QStringLiteral("UPDATE OF ") + fiscales.join(QLatin1String(", ")), {},
         "Los registros de facturación no se cambian"},
        {"RegistroFacturacionDesglose_NoBorrar", "RegistroFacturacionDesglose", QStringLiteral("DELETE"), {},
         "Los registros de facturación no se borran"},
        {"RegistroFacturacionDesglose_NoCambiar", "RegistroFacturacionDesglose", QStringLiteral("UPDATE"), {},
         "Los registros de facturación no se cambian"},
        {"FacturaVentaCabecera_Registrada_Borrar", "FacturaVentaCabecera", QStringLiteral("DELETE"), conRegistro,
         "La factura tiene su registro de facturación: no se borra, se anula"},
        {"FacturaVentaCabecera_Registrada_Cambiar", "FacturaVentaCabecera", QStringLiteral("UPDATE OF Serie, Numero, Fecha, Cliente"),
         QStringLiteral("(OLD.Serie IS NOT NEW.Serie OR OLD.Numero IS NOT NEW.Numero OR OLD.Fecha IS NOT NEW.Fecha OR OLD.Cliente "
                        "IS NOT NEW.Cliente) AND ") + conRegistro,
         "La factura tiene su registro de facturación: no se cambia, se rectifica"},
        {"Verifactu_SiempreActivo", "Verifactu", QStringLiteral("UPDATE OF Activo"),
         activoAntes + QStringLiteral(" AND NOT ") + activoAhora + QStringLiteral(" AND EXISTS (SELECT 1 FROM RegistroFacturacion)"),
         "Con registros de facturación el modo VERI*FACTU no se desactiva"},
        // The issuer is the shop: its NIF stays once the chain has begun (the shop's data is
        // written whole, so the check is on the row that replaces it).
        {"Comercio_EmisorConRegistros", "Comercio", QStringLiteral("INSERT"),
         QStringLiteral("EXISTS (SELECT 1 FROM RegistroFacturacion) AND EXISTS (SELECT 1 FROM Comercio c WHERE c.Codigo=NEW.Codigo "
                        "AND c.NIF IS NOT NEW.NIF)"),
         "Con registros de facturación el NIF del comercio, emisor de sus facturas, no se cambia"},
        {"Verifactu_NoBorrar", "Verifactu", QStringLiteral("DELETE"), QStringLiteral("EXISTS (SELECT 1 FROM RegistroFacturacion)"),
         "Con registros de facturación el modo VERI*FACTU no se desactiva"},
    };
    for (const auto& d : disparadores) {
        const QString nombre = QString::fromLatin1(d.nombre);
        const QString tabla = QString::fromLatin1(d.tabla);
        std::optional<QString> definicion = bd.definicionDisparador(nombre);
        // One made before its table had all the fields it now guards is made again.
        if (definicion && d.evento.startsWith(QLatin1String("UPDATE OF ")) &&
            !std::all_of(fiscales.begin(), fiscales.end(), [&](const QString& campo) {
                return !d.evento.contains(campo) || definicion->contains(campo.mid(1, campo.size() - 2), Qt::CaseInsensitive);
            })) {
            bd.eliminarDisparador(nombre, tabla);
            definicion.reset();
        }
        if (!definicion)
            bd.crearDisparadorRechazo(nombre, tabla, d.evento, d.condicion, QString::fromUtf8(d.mensaje));
    }
}

AjustesVerifactu BaseDatos::LeerVerifactu()
{
    AjustesVerifactu a;
    if (!Abierta() || !m_bd->existeTabla(kAjustes))
        return a;
    {
        motor::BaseDeDatos::Sentencia& s = m_bd->preparar(
            QStringLiteral("SELECT Activo, NumeroInstalacion, Certificado, Pruebas FROM Verifactu WHERE Codigo=1"));
        if (s.paso()) {
            a.Activo = s.columna(0).aBooleano();
            a.NumeroInstalacion = Texto(s.columna(1));
            a.Certificado = Texto(s.columna(2));
            a.Pruebas = s.columna(3).esNulo() || s.columna(3).aBooleano();
        }
        s.reiniciar();
    }
    // The issuer is the shop itself: one set of data for the documents' heads and the records.
    const DatosComercio comercio = LeerComercio();
    a.NIF = comercio.NIF;
    a.NombreRazon = comercio.Nombre;
    return a;
}

void BaseDatos::GuardarVerifactu(const AjustesVerifactu& a)
{
    if (!Abierta())
        return;
    if (a.Activo && (a.NIF.trimmed().size() != 9 || a.NombreRazon.trimmed().isEmpty()))
        throw motor::Error(motor::ErrGeneral, 0,
                           QStringLiteral("Para activar VERI*FACTU escriba el NIF del emisor (9 caracteres) y su razón social."));
    motor::BaseDeDatos::Transaccion t(*m_bd);
    if (!a.Activo && m_bd->valorUnico(QStringLiteral("SELECT EXISTS (SELECT 1 FROM RegistroFacturacion)")).aEntero() != 0)
        throw motor::Error(motor::ErrGeneral, 0,
                           QStringLiteral("Esta base de datos ya tiene registros de facturación: el modo VERI*FACTU no se puede "
                                          "desactivar, porque la cadena de registros debe continuar."));
    DatosComercio comercio = LeerComercio();
    const QString nif = a.NIF.trimmed().toUpper(), nombre = a.NombreRazon.trimmed();
    if (comercio.NIF != nif || comercio.Nombre != nombre) {
        comercio.NIF = nif;
        comercio.Nombre = nombre;
        GuardarComercio(comercio);
    }
    m_bd->ejecutarNativo(QStringLiteral("INSERT INTO Verifactu (Codigo, Activo, NumeroInstalacion, Certificado, Pruebas) "
                                        "VALUES (1, ?, ?, ?, ?) ON CONFLICT (Codigo) DO UPDATE SET Activo=excluded.Activo, "
                                        "NumeroInstalacion=excluded.NumeroInstalacion, Certificado=excluded.Certificado, "
                                        "Pruebas=excluded.Pruebas"),
                         {a.Activo, a.NumeroInstalacion.trimmed(), a.Certificado, a.Pruebas});
    t.commit();
}

std::pair<QString, QString> BaseDatos::EmisorFacturas()
{
    const DatosComercio comercio = LeerComercio();
    return {comercio.NIF, comercio.Nombre};
}

std::vector<Registro> BaseDatos::LeerRegistros(const QString& donde, const std::vector<Valor>& parametros)
{
    std::vector<Registro> registros;
    if (!Abierta() || !m_bd->existeTabla(kRegistros))
        return registros;
    {
        motor::BaseDeDatos::Sentencia& s = m_bd->preparar(
            QStringLiteral("SELECT Orden, Tipo, Serie, Numero, IDEmisorFactura, NombreRazonEmisor, NumSerieFactura, "
                           "FechaExpedicionFactura, TipoFactura, NIFDestinatario, NombreDestinatario, CuotaTotal, ImporteTotal, "
                           "AnteriorIDEmisorFactura, AnteriorNumSerieFactura, AnteriorFechaExpedicionFactura, AnteriorHuella, "
                           "FechaHoraHusoGenRegistro, Huella, XML, EstadoEnvio, TipoRectificativa, RectificadaIDEmisorFactura, "
                           "RectificadaNumSerieFactura, RectificadaFechaExpedicionFactura, BaseRectificada, CuotaRectificada, "
                           "RecargoRectificado, PaisDestinatario, IDTypeDestinatario, IDOtroDestinatario FROM RegistroFacturacion ") +
            donde);
        s.vincular(parametros);
        while (s.paso()) {
            Registro r;
            r.orden = s.columna(0).aEntero();
            r.tipo = Texto(s.columna(1)) == QLatin1String("N") ? verifactu::TipoRegistro::Anulacion : verifactu::TipoRegistro::Alta;
            r.serie = static_cast<qint16>(s.columna(2).aEntero());
            r.numero = static_cast<qint32>(s.columna(3).aEntero());
            r.IDEmisorFactura = Texto(s.columna(4));
            r.NombreRazonEmisor = Texto(s.columna(5));
            r.NumSerieFactura = Texto(s.columna(6));
            r.FechaExpedicionFactura = Texto(s.columna(7));
            r.TipoFactura = Texto(s.columna(8));
            r.NIFDestinatario = Texto(s.columna(9));
            r.NombreDestinatario = Texto(s.columna(10));
            r.cuotaTotal = s.columna(11).aEntero();
            r.importeTotal = s.columna(12).aEntero();
            if (!s.columna(16).esNulo())
                r.anterior = verifactu::Encadenamiento{Texto(s.columna(13)), Texto(s.columna(14)), Texto(s.columna(15)),
                                                       Texto(s.columna(16))};
            r.FechaHoraHusoGenRegistro = Texto(s.columna(17));
            r.Huella = Texto(s.columna(18));
            r.xml = Texto(s.columna(19)).toUtf8();
            r.estadoEnvio = Texto(s.columna(20));
            r.TipoRectificativa = Texto(s.columna(21));
            if (!s.columna(23).esNulo())
                r.rectificada = verifactu::IDFactura{Texto(s.columna(22)), Texto(s.columna(23)), Texto(s.columna(24))};
            r.baseRectificada = s.columna(25).aEntero();
            r.cuotaRectificada = s.columna(26).aEntero();
            r.recargoRectificado = s.columna(27).aEntero();
            r.PaisDestinatario = Texto(s.columna(28));
            r.IDTypeDestinatario = Texto(s.columna(29));
            r.IDOtroDestinatario = Texto(s.columna(30));
            registros.push_back(std::move(r));
        }
        s.reiniciar();
    }
    if (registros.empty())
        return registros;
    // The breakdowns of the records read, in one pass over the same range of numbers.
    motor::BaseDeDatos::Sentencia& d = m_bd->preparar(
        QStringLiteral("SELECT Orden, Sujeta, TipoImpositivo, Base, Cuota, TipoRecargo, CuotaRecargo FROM RegistroFacturacionDesglose "
                       "WHERE Orden BETWEEN ? AND ? ORDER BY Orden, Linea"));
    d.vincular({registros.front().orden, registros.back().orden});
    size_t i = 0;
    while (d.paso()) {
        const qint64 orden = d.columna(0).aEntero();
        while (i < registros.size() && registros[i].orden < orden)
            ++i;
        if (i == registros.size())
            break;
        if (registros[i].orden != orden)
            continue;
        registros[i].desglose.push_back(verifactu::DetalleDesglose{d.columna(1).aBooleano(), static_cast<qint32>(d.columna(2).aEntero()),
                                                                   d.columna(3).aEntero(), d.columna(4).aEntero(),
                                                                   static_cast<qint32>(d.columna(5).aEntero()), d.columna(6).aEntero()});
    }
    d.reiniciar();
    return registros;
}

std::vector<Registro> BaseDatos::Registros(std::optional<QDate> desde, std::optional<QDate> hasta)
{
    QString donde;
    std::vector<Valor> parametros;
    if (desde) {
        donde += QStringLiteral("WHERE Dia >= ?");
        parametros.push_back(desde->toString(Qt::ISODate));
    }
    if (hasta) {
        donde += donde.isEmpty() ? QStringLiteral("WHERE Dia <= ?") : QStringLiteral(" AND Dia <= ?");
        parametros.push_back(hasta->toString(Qt::ISODate));
    }
    return LeerRegistros(donde + QStringLiteral(" ORDER BY Orden"), parametros);
}

std::optional<Registro> BaseDatos::UltimoRegistro()
{
    std::vector<Registro> r = LeerRegistros(QStringLiteral("ORDER BY Orden DESC LIMIT 1"), {});
    return r.empty() ? std::nullopt : std::optional<Registro>(std::move(r.front()));
}

std::optional<Registro> BaseDatos::RegistroDeFactura(qint16 serie, qint32 numero)
{
    std::vector<Registro> r = LeerRegistros(QStringLiteral("WHERE Serie=? AND Numero=? ORDER BY Orden DESC LIMIT 1"),
                                            {static_cast<int>(serie), numero});
    return r.empty() ? std::nullopt : std::optional<Registro>(std::move(r.front()));
}

void BaseDatos::AnadirRegistro(const Registro& r)
{
    motor::BaseDeDatos::Transaccion t(*m_bd);
    const qint64 ultimo = m_bd->valorUnico(QStringLiteral("SELECT coalesce(max(Orden), 0) FROM RegistroFacturacion")).aEntero();
    if (r.orden != ultimo + 1)
        throw motor::Error(motor::ErrGeneral, 0,
                           QStringLiteral("El registro de facturación no sigue al último de la cadena. Vuelva a intentarlo."));
    const bool alta = r.tipo == verifactu::TipoRegistro::Alta;
    auto nulo = [](const QString& s) { return s.isEmpty() ? Valor() : Valor(s); };
    const verifactu::Encadenamiento anterior = r.anterior.value_or(verifactu::Encadenamiento{});
    const QString dia = QDate::fromString(r.FechaHoraHusoGenRegistro.left(10), Qt::ISODate).toString(Qt::ISODate);
    m_bd->ejecutarNativo(
        QStringLiteral("INSERT INTO RegistroFacturacion (Orden, Tipo, Serie, Numero, Dia, IDEmisorFactura, NombreRazonEmisor, "
                       "NumSerieFactura, FechaExpedicionFactura, TipoFactura, NIFDestinatario, NombreDestinatario, CuotaTotal, "
                       "ImporteTotal, AnteriorIDEmisorFactura, AnteriorNumSerieFactura, AnteriorFechaExpedicionFactura, AnteriorHuella, "
                       "FechaHoraHusoGenRegistro, TipoHuella, Huella, XML, EstadoEnvio, TipoRectificativa, RectificadaIDEmisorFactura, "
                       "RectificadaNumSerieFactura, RectificadaFechaExpedicionFactura, BaseRectificada, CuotaRectificada, "
                       "RecargoRectificado, PaisDestinatario, IDTypeDestinatario, IDOtroDestinatario) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '01', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {r.orden, QString(alta ? QStringLiteral("A") : QStringLiteral("N")), static_cast<int>(r.serie), r.numero, dia,
         r.IDEmisorFactura, nulo(r.NombreRazonEmisor), r.NumSerieFactura, r.FechaExpedicionFactura, nulo(r.TipoFactura),
         nulo(r.NIFDestinatario), nulo(r.NombreDestinatario), alta ? Valor(r.cuotaTotal) : Valor(),
         alta ? Valor(r.importeTotal) : Valor(), nulo(anterior.IDEmisorFactura), nulo(anterior.NumSerieFactura),
         nulo(anterior.FechaExpedicionFactura), r.anterior ? Valor(anterior.Huella) : Valor(), r.FechaHoraHusoGenRegistro, r.Huella,
         QString::fromUtf8(r.xml), r.estadoEnvio.isEmpty() ? QStringLiteral("Pendiente") : r.estadoEnvio, nulo(r.TipoRectificativa),
         r.rectificada ? Valor(r.rectificada->IDEmisorFactura) : Valor(), r.rectificada ? Valor(r.rectificada->NumSerieFactura) : Valor(),
         r.rectificada ? Valor(r.rectificada->FechaExpedicionFactura) : Valor(), r.baseRectificada, r.cuotaRectificada,
         r.recargoRectificado, nulo(r.PaisDestinatario), nulo(r.IDTypeDestinatario), nulo(r.IDOtroDestinatario)});
    int linea = 0;
    for (const verifactu::DetalleDesglose& d : r.desglose)
        m_bd->ejecutarNativo(QStringLiteral("INSERT INTO RegistroFacturacionDesglose (Orden, Linea, Sujeta, TipoImpositivo, Base, Cuota, "
                                            "TipoRecargo, CuotaRecargo) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                             {r.orden, ++linea, d.sujeta, d.tipo, d.base, d.cuota, d.tipoRecargo, d.cuotaRecargo});
    t.commit();
}
