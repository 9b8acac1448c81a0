#include "verifactu.h"

#include "basedatos.h"
#include "coleccion.h"
#include "declaracion.h"
#include "dinero.h"
#include "factura.h"
#include "formato.h"
#include "utilidades.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace verifactu {

namespace {

// The schema's limits: details of one record, records of one document.
constexpr size_t kMaxDetalles = 12;
constexpr size_t kMaxPorDocumento = 1000;
// The agency's limit for a simplified invoice, in cents.
constexpr qint64 kMaxSimplificada = 300000;
// The rectifying invoices of series n are kept in series 10 + n: a numbering of their own.
constexpr qint16 kPrimeraSerieRectificativa = 10;

qint64 Centimos(double euros)
{
    return std::llround(euros * 100);
}

QString Fecha(const QDate& d)
{
    return d.toString(QStringLiteral("dd-MM-yyyy"));
}

}  // namespace

QString LetraSerie(qint16 serie)
{
    if (serie >= kPrimeraSerieRectificativa)
        return QStringLiteral("R") + LetraSerie(static_cast<qint16>(serie - kPrimeraSerieRectificativa));
    return QString(QChar(static_cast<char16_t>(u'A' + serie)));
}

QString NumSerie(qint16 serie, qint32 numero)
{
    return QStringLiteral("%1-%2").arg(LetraSerie(serie)).arg(numero, 6, 10, QLatin1Char('0'));
}

QString NIFRegistro(const QString& nif)
{
    QString n = nif.toUpper();
    n.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('.'));
    if (n.size() == 11 && n.startsWith(QLatin1String("ES")))
        n = n.mid(2);
    // Only a Spanish NIF with its right control character names the customer; the agency
    // refuses a full invoice for anything else.
    return NIFValido(n).value_or(QString());
}

namespace {

// The countries of the agency's list (CountryType2), ISO 3166-1 alpha-2.
const char kPaises[] =
    "AF AL DE AD AO AI AQ AG SA DZ AR AM AW AU AT AZ BS BH BD BB BE BZ BJ BM BY BO BA BW BV BR BN BG BF BI BT CV KY KH CM CA CF CC CO "
    "KM CG CD CK KP KR CI CR HR CU TD CZ CL CN CY CW DK DM DO EC EG AE ER SK SI ES US EE ET FO PH FI FJ FR GA GM GE GS GH GI GD GR GL "
    "GU GT GG GN GQ GW GY HT HM HN HK HU IN ID IR IQ IE IM IS IL IT JM JP JE JO KZ KE KG KI KW LA LS LV LB LR LY LI LT LU XG MO MK MG "
    "MY MW MV ML MT FK MP MA MH MU MR YT UM MX FM MD MC MN ME MS MZ MM NA NR CX NP NI NE NG NU NF NO NC NZ IO OM NL BQ PK PW PA PG PY "
    "PE PN PF PL PT PR QA GB RW RO RU SB SV WS AS KN SM SX PM VC SH LC ST SN RS SC SL SG SY SO LK SZ ZA SD SS SE CH SR TH TW TZ TJ PS "
    "TF TL TG TK TO TT TN TC TM TR TV UA UG UY UZ VU VA VE VN VG VI WF YE DJ ZM ZW QU XB XU XN";

// The form of each member state's VAT number after its prefix, as the agency checks it:
// digits only or letters and digits, and the lengths allowed.
struct FormaNifIva {
    const char* prefijo;
    bool soloDigitos;
    std::initializer_list<int> longitudes;
};
const FormaNifIva kNifIva[] = {
    {"DE", true, {9}},          {"AT", false, {9}},    {"BE", true, {10}},    {"CY", false, {9}},  {"CZ", true, {8, 9, 10}},
    {"HR", true, {11}},         {"DK", true, {8}},     {"SK", true, {10}},    {"SI", true, {8}},   {"EE", true, {9}},
    {"FI", true, {8}},          {"FR", false, {11}},   {"EL", true, {9}},     {"XI", false, {5, 9, 12}},
    {"NL", false, {12}},        {"HU", true, {8}},     {"IT", true, {11}},    {"IE", false, {8, 9}}, {"LV", true, {11}},
    {"LT", true, {9, 12}},      {"LU", true, {8}},     {"MT", true, {8}},     {"PL", true, {10}},  {"PT", true, {9}},
    {"SE", true, {12}},         {"BG", true, {9, 10}}, {"RO", true, {2, 3, 4, 5, 6, 7, 8, 9, 10}},
};

bool EsNifIva(const QString& prefijo, const QString& numero)
{
    for (const FormaNifIva& f : kNifIva) {
        if (prefijo != QLatin1String(f.prefijo))
            continue;
        if (std::find(f.longitudes.begin(), f.longitudes.end(), numero.size()) == f.longitudes.end())
            return false;
        // Romania's have no leading zeros.
        if (prefijo == QLatin1String("RO") && numero.startsWith(QLatin1Char('0')))
            return false;
        for (const QChar c : numero)
            if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && (f.soloDigitos || !(c >= QLatin1Char('A') && c <= QLatin1Char('Z'))))
                return false;
        return true;
    }
    return false;
}

}  // namespace

std::optional<IdentificacionExtranjera> IdentificacionOtro(const QString& nif)
{
    QString n = nif.toUpper();
    n.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('.'));
    const auto letra = [&n](int i) { return n.size() > i && n.at(i) >= QLatin1Char('A') && n.at(i) <= QLatin1Char('Z'); };
    if (n.size() < 4 || n.size() > 20 || !letra(0) || !letra(1) || !NIFRegistro(n).isEmpty() || n.startsWith(QLatin1String("ES")))
        return std::nullopt;
    for (const QChar c : n)
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && !(c >= QLatin1Char('A') && c <= QLatin1Char('Z')))
            return std::nullopt;
    const QString prefijo = n.left(2);
    if (EsNifIva(prefijo, n.mid(2)))
        return IdentificacionExtranjera{QString(), QStringLiteral("02"), n};
    // Greece's VAT prefix and Northern Ireland's are not their ISO country codes.
    const QString pais = prefijo == QLatin1String("EL") ? QStringLiteral("GR") : prefijo == QLatin1String("XI") ? QStringLiteral("GB") : prefijo;
    if (!QLatin1String(kPaises).contains(pais))
        return std::nullopt;
    return IdentificacionExtranjera{pais, QStringLiteral("04"), n};
}

std::optional<Registro> AltaDeFactura(BaseDatos& bd, const Factura& f, QString& motivo)
{
    Registro r;
    r.tipo = TipoRegistro::Alta;
    r.serie = f.Serie.value_or(0);
    r.numero = f.Numero.value_or(0);
    const auto [nif, nombre] = bd.EmisorFacturas();
    r.IDEmisorFactura = nif;
    r.NombreRazonEmisor = nombre;
    r.NumSerieFactura = NumSerie(r.serie, r.numero);
    r.FechaExpedicionFactura = Fecha(f.Fecha.value_or(QDate()));
    Coleccion cliente;
    if (f.Cliente() && bd.ConsultaCliente(*f.Cliente(), cliente)) {
        const QString nifCliente = cliente.valor(QStringLiteral("NIF")).aTexto();
        r.NIFDestinatario = NIFRegistro(nifCliente);
        if (r.NIFDestinatario.isEmpty())
            if (const std::optional<IdentificacionExtranjera> otro = IdentificacionOtro(nifCliente)) {
                r.PaisDestinatario = otro->CodigoPais;
                r.IDTypeDestinatario = otro->IDType;
                r.IDOtroDestinatario = otro->ID;
            }
        r.NombreDestinatario = cliente.valor(QStringLiteral("Nombre")).aTexto().trimmed().left(120);
    }
    // A customer known by a NIF or a foreign identifier gets a full invoice; anyone else a
    // simplified one.
    const bool identificado = !r.NIFDestinatario.isEmpty() || !r.IDOtroDestinatario.isEmpty();
    r.TipoFactura = identificado ? QStringLiteral("F1") : QStringLiteral("F2");
    if (!identificado)
        r.NombreDestinatario.clear();
    else if (r.NombreDestinatario.isEmpty())
        r.NombreDestinatario = r.IDOtroDestinatario.isEmpty() ? r.NIFDestinatario : r.IDOtroDestinatario;
    std::optional<Registro> original;
    if (f.Rectifica) {
        original = bd.RegistroDeFactura(f.Rectifica->serie, f.Rectifica->numero);
        if (!original || original->tipo != TipoRegistro::Alta) {
            motivo = QStringLiteral("La factura %1 que se rectifica no tiene registro de facturación o está anulada: no se puede "
                                    "rectificar.")
                         .arg(NumSerie(f.Rectifica->serie, f.Rectifica->numero));
            return std::nullopt;
        }
        const QDate fechaOriginal = QDate::fromString(original->FechaExpedicionFactura, QStringLiteral("dd-MM-yyyy"));
        if (f.Fecha && *f.Fecha < fechaOriginal) {
            motivo = QStringLiteral("La factura rectificativa no puede llevar fecha anterior a la de la factura que rectifica (%1). "
                                    "Cambie la fecha y vuelva a guardar.")
                         .arg(fechaOriginal.toString(QStringLiteral("dd/MM/yyyy")));
            return std::nullopt;
        }
        const bool simplificada = original->TipoFactura == QLatin1String("F2") || original->TipoFactura == QLatin1String("R5");
        r.TipoFactura = simplificada ? QStringLiteral("R5") : QStringLiteral("R1");
        r.NIFDestinatario = simplificada ? QString() : original->NIFDestinatario;
        r.NombreDestinatario = simplificada ? QString() : original->NombreDestinatario;
        r.PaisDestinatario = simplificada ? QString() : original->PaisDestinatario;
        r.IDTypeDestinatario = simplificada ? QString() : original->IDTypeDestinatario;
        r.IDOtroDestinatario = simplificada ? QString() : original->IDOtroDestinatario;
        r.TipoRectificativa = f.Rectifica->sustitucion ? QStringLiteral("S") : QStringLiteral("I");
        r.rectificada = IDFactura{original->IDEmisorFactura, original->NumSerieFactura, original->FechaExpedicionFactura};
    }

    // The invoice's own printed figures, to the cent, one detail per VAT and surcharge.
    for (const Factura::DesgloseCentimos& d : f.DesgloseEnCentimos()) {
        DetalleDesglose x;
        x.tipo = static_cast<qint32>(std::llround(static_cast<double>(d.pIVA) * 100));
        x.base = d.BaseImponible;
        x.cuota = d.IVA;
        x.tipoRecargo = static_cast<qint32>(std::llround(static_cast<double>(d.pREQ) * 100));
        x.cuotaRecargo = x.tipoRecargo != 0 ? d.REq : 0;
        r.desglose.push_back(x);
    }
    // Returnable packaging is charged but is no part of the taxable base: it goes as an amount
    // not subject to VAT, so that the total is what the customer owes.
    const qint64 envases = Centimos(f.ImporteEnvases());
    if (envases != 0)
        r.desglose.push_back(DetalleDesglose{false, 0, envases, 0, 0, 0});
    if (r.desglose.empty()) {
        motivo = QStringLiteral("La factura no tiene ningún importe: no se puede emitir así. Añada sus líneas y vuelva a guardar.");
        return std::nullopt;
    }
    if (r.desglose.size() > kMaxDetalles) {
        motivo = QStringLiteral("La factura reúne más de %1 tipos distintos de IVA, recargo y envases, más de los que admite su "
                                "registro de facturación. Repártala en dos facturas y vuelva a guardar.")
                     .arg(kMaxDetalles);
        return std::nullopt;
    }
    for (const DetalleDesglose& d : r.desglose) {
        r.cuotaTotal += d.cuota + d.cuotaRecargo;
        r.importeTotal += d.base + d.cuota + d.cuotaRecargo;
    }
    // A simplified invoice may come to 3,000.00 euros at most, counted as the agency counts it:
    // bases and VAT, without the surcharge.
    qint64 simplificada = 0;
    for (const DetalleDesglose& d : r.desglose)
        simplificada += d.base + d.cuota;
    if (r.TipoFactura == QLatin1String("F2") && simplificada > kMaxSimplificada) {
        motivo = QStringLiteral("Una factura sin el NIF del cliente (simplificada) no puede pasar de 3.000,00 € y esta suma %1 €. "
                                "Ponga el NIF del cliente en su ficha y vuelva a guardar.")
                     .arg(Formato(AEuros(simplificada), kFormatoMoneda));
        return std::nullopt;
    }
    // By substitution the record also says what the replaced invoice amounted to.
    if (original && f.Rectifica->sustitucion)
        for (const DetalleDesglose& d : original->desglose) {
            r.baseRectificada += d.base;
            r.cuotaRectificada += d.cuota;
            r.recargoRectificado += d.cuotaRecargo;
        }
    return r;
}

bool MismasCifras(const Registro& a, const Registro& b)
{
    // The customer's NIF is read from the customer's card, which may change after the invoice
    // was issued; the invoice keeps its customer by code, which cannot change.
    return a.NumSerieFactura == b.NumSerieFactura && a.FechaExpedicionFactura == b.FechaExpedicionFactura &&
           a.TipoRectificativa == b.TipoRectificativa && a.rectificada == b.rectificada && a.desglose == b.desglose &&
           a.cuotaTotal == b.cuotaTotal && a.importeTotal == b.importeTotal;
}

QString UrlCotejo(const Registro& r, bool pruebas)
{
    auto codificado = [](const QString& s) { return QString::fromLatin1(QUrl::toPercentEncoding(s)); };
    return (pruebas ? QStringLiteral("https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR?")
                    : QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR?")) +
           QStringLiteral("nif=%1&numserie=%2&fecha=%3&importe=%4")
               .arg(codificado(r.IDEmisorFactura), codificado(r.NumSerieFactura), r.FechaExpedicionFactura, Importe(r.importeTotal));
}

void Encadenar(BaseDatos& bd, Registro& r, const QDateTime& momento)
{
    const std::optional<Registro> ultimo = bd.UltimoRegistro();
    r.orden = ultimo ? ultimo->orden + 1 : 1;
    r.anterior.reset();
    if (ultimo)
        r.anterior = Encadenamiento{ultimo->IDEmisorFactura, ultimo->NumSerieFactura, ultimo->FechaExpedicionFactura, ultimo->Huella};
    r.FechaHoraHusoGenRegistro = FechaHoraHuso(momento);
    r.Huella = CalcularHuella(r);
    r.xml = DocumentoRegistro(r, SistemaDeclarado(bd.LeerVerifactu().NumeroInstalacion));
    r.estadoEnvio = QStringLiteral("Pendiente");
    bd.AnadirRegistro(r);
}

QStringList VerificarRegistros(BaseDatos& bd)
{
    QStringList faltas;
    const std::vector<Registro> registros = bd.Registros();
    const Registro* previo = nullptr;
    // Per series, the lowest invoice number with a record: invoices after it must all have one.
    std::map<qint16, qint32> primeras;
    std::set<std::pair<qint16, qint32>> conRegistro;
    for (const Registro& r : registros) {
        const QString quien = QStringLiteral("Registro %1 (factura %2)").arg(r.orden).arg(r.NumSerieFactura);
        const qint64 esperado = previo ? previo->orden + 1 : 1;
        if (r.orden != esperado)
            faltas << QStringLiteral("Faltan los registros %1 a %2 de la cadena.").arg(esperado).arg(r.orden - 1);
        const std::optional<Encadenamiento> anterior =
            previo ? std::optional<Encadenamiento>(Encadenamiento{previo->IDEmisorFactura, previo->NumSerieFactura,
                                                                  previo->FechaExpedicionFactura, previo->Huella})
                   : std::nullopt;
        if (r.anterior != anterior)
            faltas << quien + QStringLiteral(": no se encadena con el registro anterior.");
        if (CalcularHuella(r) != r.Huella)
            faltas << quien + QStringLiteral(": su huella no corresponde a sus datos.");
        if (!r.xml.contains(QByteArray("<sf:Huella>") + r.Huella.toLatin1() + QByteArray("</sf:Huella>")))
            faltas << quien + QStringLiteral(": su XML no es el del registro.");
        if (r.tipo == TipoRegistro::Alta) {
            conRegistro.insert({r.serie, r.numero});
            auto [it, nueva] = primeras.emplace(r.serie, r.numero);
            if (!nueva)
                it->second = std::min(it->second, r.numero);
            Factura f(bd);
            QString motivo;
            if (!f.WhoAmI(r.serie, r.numero)) {
                faltas << quien + QStringLiteral(": la factura no está guardada.");
            } else if (const std::optional<Registro> actual = AltaDeFactura(bd, f, motivo); !actual || !MismasCifras(r, *actual)) {
                faltas << quien + QStringLiteral(": las cifras de la factura ya no son las del registro.");
            }
        }
        previo = &r;
    }
    // Invoices stored since the chain began in their series that have no record.
    motor::Recordset rs = bd.Motor()->abrirRecordset(QStringLiteral("select Serie, Numero from FacturaVentaCabecera order by Serie, Numero"));
    for (; !rs.eof(); rs.moveNext()) {
        const auto serie = static_cast<qint16>(rs[QStringLiteral("Serie")].aEntero());
        const auto numero = static_cast<qint32>(rs[QStringLiteral("Numero")].aEntero());
        const auto primera = primeras.find(serie);
        if (primera != primeras.end() && numero > primera->second && !conRegistro.count({serie, numero}))
            faltas << QStringLiteral("La factura %1 no tiene registro de facturación.").arg(NumSerie(serie, numero));
    }
    return faltas;
}

bool ExportarRegistros(BaseDatos& bd, const QDate& desde, const QDate& hasta, const QString& archivo, QString& motivo)
{
    const std::vector<Registro> registros = bd.Registros(desde, hasta);
    if (registros.empty()) {
        motivo = QStringLiteral("No hay registros de facturación del %1 al %2.")
                     .arg(desde.toString(QStringLiteral("dd/MM/yyyy")), hasta.toString(QStringLiteral("dd/MM/yyyy")));
        return false;
    }
    const auto [nif, nombre] = bd.EmisorFacturas();
    // A document holds at most 1000 records: a longer period goes on in "name-2.xml" and so on.
    const QFileInfo info(archivo);
    size_t parte = 0;
    for (size_t i = 0; i < registros.size(); i += kMaxPorDocumento, ++parte) {
        std::vector<QByteArray> xmls;
        for (size_t j = i; j < registros.size() && j < i + kMaxPorDocumento; ++j)
            xmls.push_back(registros[j].xml);
        const QByteArray documento = DocumentoRegistros(nif, nombre, xmls);
        if (documento.isEmpty()) {
            motivo = QStringLiteral("Un registro guardado no se puede leer: compruebe la cadena con --verificar-registros.");
            return false;
        }
        const QString ruta = parte == 0 ? archivo
                                        : info.dir().filePath(QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(parte + 1).arg(
                                              info.suffix()));
        QSaveFile salida(ruta);
        if (!salida.open(QIODevice::WriteOnly) || salida.write(documento) != documento.size() || !salida.commit()) {
            motivo = QStringLiteral("No se puede escribir %1 (%2). Compruebe la carpeta y sus permisos.").arg(ruta, salida.errorString());
            return false;
        }
    }
    return true;
}

}  // namespace verifactu

namespace verifactu {

bool Subsanar(BaseDatos& bd, qint64 orden, const QDateTime& momento, QString& motivo)
{
    try {
        // Under the write lock: two stations correcting at once make one correction.
        motor::BaseDeDatos::Transaccion t(*bd.Motor());
        const std::optional<Registro> r = bd.RegistroNumero(orden);
        if (!r) {
            motivo = QStringLiteral("No existe el registro %1.").arg(orden);
            return false;
        }
        const bool rechazado = r->estadoEnvio == QLatin1String("Incorrecto");
        if (!rechazado && r->estadoEnvio != QLatin1String("AceptadoConErrores")) {
            motivo = QStringLiteral("El registro %1 (factura %2) no tiene errores de la Agencia Tributaria que subsanar.")
                         .arg(orden)
                         .arg(r->NumSerieFactura);
            return false;
        }
        const std::optional<Registro> ultimo = bd.RegistroDeFactura(r->serie, r->numero);
        if (!ultimo || ultimo->orden != orden) {
            motivo = QStringLiteral("La factura %1 ya tiene un registro posterior al %2: es ese el que cuenta.").arg(r->NumSerieFactura).arg(orden);
            return false;
        }
        Registro nuevo;
        if (r->tipo == TipoRegistro::Alta) {
            Factura f(bd);
            if (!f.WhoAmI(r->serie, r->numero)) {
                motivo = QStringLiteral("La factura %1 no está guardada.").arg(r->NumSerieFactura);
                return false;
            }
            std::optional<Registro> alta = AltaDeFactura(bd, f, motivo);
            if (!alta)
                return false;
            nuevo = std::move(*alta);
            nuevo.Subsanacion = QStringLiteral("S");
            if (rechazado) {
                // Whether the agency holds the invoice: one of its records of issue was accepted.
                const bool registrada =
                    bd.Motor()
                        ->valorUnico(QStringLiteral("SELECT EXISTS (SELECT 1 FROM RegistroFacturacion WHERE Serie=%1 AND Numero=%2 AND "
                                                    "Tipo='A' AND EstadoEnvio IN ('Correcto', 'AceptadoConErrores'))")
                                         .arg(r->serie)
                                         .arg(r->numero))
                        .aEntero() != 0;
                nuevo.RechazoPrevio = registrada ? QStringLiteral("S") : QStringLiteral("X");
            }
        } else {
            if (!rechazado) {
                motivo = QStringLiteral("Una anulación aceptada con errores no se subsana: la factura %1 ya consta anulada.").arg(r->NumSerieFactura);
                return false;
            }
            nuevo.tipo = TipoRegistro::Anulacion;
            nuevo.serie = r->serie;
            nuevo.numero = r->numero;
            nuevo.IDEmisorFactura = r->IDEmisorFactura;
            nuevo.NombreRazonEmisor = r->NombreRazonEmisor;
            nuevo.NumSerieFactura = r->NumSerieFactura;
            nuevo.FechaExpedicionFactura = r->FechaExpedicionFactura;
            nuevo.RechazoPrevio = QStringLiteral("S");
        }
        Encadenar(bd, nuevo, momento);
        bd.MarcarSubsanado(orden);
        t.commit();
    } catch (const motor::Error& e) {
        motivo = motor::TextoParaUsuario(e);
        return false;
    }
    return true;
}

}  // namespace verifactu
