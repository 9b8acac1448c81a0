// Sending the invoice records: each record's answer from the agency beside its (unchangeable)
// fiscal fields, and the claim that lets one station of the shop send at a time.

#include "basedatos.h"

#include <QSet>

using motor::DefCampo;
using motor::DefIndice;
using motor::DefTabla;
using motor::TipoCampo;

namespace {

const QString kRegistros = QStringLiteral("RegistroFacturacion");
const QString kEnvio = QStringLiteral("EnvioRegistros");
const QString kPendiente = QStringLiteral("Pendiente");

DefTabla tablaEnvio()
{
    auto campo = [](const char* nombre, TipoCampo tipo, int tamano = 0) {
        return DefCampo{QString::fromLatin1(nombre), tipo, tamano, std::nullopt};
    };
    // Times are doubles: milliseconds since the epoch do not fit a long.
    return DefTabla{kEnvio,
                    {campo("Codigo", TipoCampo::Largo), campo("Titular", TipoCampo::Texto, 100), campo("Renovado", TipoCampo::Doble),
                     campo("UltimoEnvio", TipoCampo::Doble), campo("TiempoEspera", TipoCampo::Largo), campo("Motivo", TipoCampo::Memo)},
                    {DefIndice{QStringLiteral("Codigo"), true, true, {QStringLiteral("Codigo")}}}};
}

QString Texto(const Valor& v)
{
    return v.esNulo() ? QString() : v.aTexto();
}

}  // namespace

void BaseDatos::CrearTablasEnvio()
{
    motor::BaseDeDatos& bd = *m_bd;
    // The agency's answer; EstadoEnvio (Pendiente, Correcto, AceptadoConErrores, Incorrecto) was
    // there from the start.
    AnadirCampo(kRegistros, QStringLiteral("CodigoErrorRegistro"), TipoCampo::Texto, 10);
    AnadirCampo(kRegistros, QStringLiteral("DescripcionErrorRegistro"), TipoCampo::Memo);
    AnadirCampo(kRegistros, QStringLiteral("CSV"), TipoCampo::Texto, 20);
    AnadirCampo(kRegistros, QStringLiteral("MomentoRespuesta"), TipoCampo::Texto, 30);
    AnadirCampo(kRegistros, QStringLiteral("Incidencia"), TipoCampo::Booleano);
    // A correction record (Subsanacion) went after it: its errors are dealt with.
    AnadirCampo(kRegistros, QStringLiteral("Subsanado"), TipoCampo::Booleano);
    // The sender asks for the pending records many times a day, out of 100,000 and more.
    if (!bd.indice(kRegistros, QStringLiteral("EstadoEnvio")))
        bd.crearIndice(kRegistros, DefIndice{QStringLiteral("EstadoEnvio"), false, false, {QStringLiteral("EstadoEnvio"), QStringLiteral("Orden")}});
    if (!bd.existeTabla(kEnvio))
        bd.crearTabla(tablaEnvio());
}

std::vector<verifactu::Pendiente> BaseDatos::RegistrosPendientes(int maximo)
{
    std::vector<verifactu::Pendiente> pendientes;
    if (!Abierta() || !m_bd->existeCampo(kRegistros, QStringLiteral("Incidencia")))
        return pendientes;
    motor::BaseDeDatos::Sentencia& s = m_bd->preparar(
        QStringLiteral("SELECT Orden, Tipo, IDEmisorFactura, NumSerieFactura, FechaExpedicionFactura, XML, Incidencia "
                       "FROM RegistroFacturacion WHERE EstadoEnvio='Pendiente' ORDER BY Orden LIMIT ?"));
    s.vincular({maximo});
    while (s.paso()) {
        verifactu::Pendiente p;
        p.orden = s.columna(0).aEntero();
        p.tipo = Texto(s.columna(1)) == QLatin1String("N") ? verifactu::TipoRegistro::Anulacion : verifactu::TipoRegistro::Alta;
        p.IDEmisorFactura = Texto(s.columna(2));
        p.NumSerieFactura = Texto(s.columna(3));
        p.FechaExpedicionFactura = Texto(s.columna(4));
        p.xml = Texto(s.columna(5)).toUtf8();
        p.incidencia = !s.columna(6).esNulo() && s.columna(6).aBooleano();
        pendientes.push_back(std::move(p));
    }
    s.reiniciar();
    return pendientes;
}

void BaseDatos::AnotarRespuestas(const std::vector<verifactu::RespuestaRegistro>& respuestas, int tiempoEspera)
{
    motor::BaseDeDatos::Transaccion t(*m_bd);
    for (const verifactu::RespuestaRegistro& r : respuestas)
        m_bd->ejecutarNativo(QStringLiteral("UPDATE RegistroFacturacion SET EstadoEnvio=?, CodigoErrorRegistro=?, "
                                            "DescripcionErrorRegistro=?, CSV=?, MomentoRespuesta=? WHERE Orden=? AND EstadoEnvio='Pendiente'"),
                             {r.estado, r.codigo, r.descripcion, r.csv, r.momento, r.orden});
    m_bd->ejecutarNativo(QStringLiteral("INSERT INTO EnvioRegistros (Codigo, TiempoEspera, Motivo) VALUES (1, ?, NULL) "
                                        "ON CONFLICT (Codigo) DO UPDATE SET TiempoEspera=excluded.TiempoEspera, Motivo=NULL"),
                         {tiempoEspera});
    t.commit();
}

void BaseDatos::AnotarFalloEnvio(const QString& motivo)
{
    motor::BaseDeDatos::Transaccion t(*m_bd);
    m_bd->ejecutarNativo(QStringLiteral("UPDATE RegistroFacturacion SET Incidencia=1 WHERE EstadoEnvio='Pendiente' AND "
                                        "(Incidencia IS NULL OR Incidencia = 0)"));
    m_bd->ejecutarNativo(QStringLiteral("INSERT INTO EnvioRegistros (Codigo, Motivo) VALUES (1, ?) "
                                        "ON CONFLICT (Codigo) DO UPDATE SET Motivo=excluded.Motivo"),
                         {motivo});
    t.commit();
}

bool BaseDatos::TomarEnvio(const QString& puesto, qint64 ahora, int caducidad, std::optional<qint64> envio, const QString& caido)
{
    motor::BaseDeDatos::Transaccion t(*m_bd);
    // Read under the write lock: two stations asking at once cannot both get it.
    const QString titular = Texto(m_bd->valorUnico(QStringLiteral("SELECT Titular FROM EnvioRegistros WHERE Codigo=1")));
    const qint64 renovado = m_bd->valorUnico(QStringLiteral("SELECT coalesce(Renovado, 0) FROM EnvioRegistros WHERE Codigo=1")).aEntero();
    if (!titular.isEmpty() && titular != puesto && titular != caido && ahora - renovado < caducidad)
        return false;
    m_bd->ejecutarNativo(QStringLiteral("INSERT INTO EnvioRegistros (Codigo, Titular, Renovado) VALUES (1, ?, ?) "
                                        "ON CONFLICT (Codigo) DO UPDATE SET Titular=excluded.Titular, Renovado=excluded.Renovado"),
                         {puesto, static_cast<double>(ahora)});
    if (envio)
        m_bd->ejecutarNativo(QStringLiteral("UPDATE EnvioRegistros SET UltimoEnvio=? WHERE Codigo=1"), {static_cast<double>(*envio)});
    t.commit();
    return true;
}

void BaseDatos::SoltarEnvio(const QString& puesto)
{
    if (!Abierta() || !m_bd->existeTabla(kEnvio))
        return;
    m_bd->ejecutarNativo(QStringLiteral("UPDATE EnvioRegistros SET Titular=NULL WHERE Codigo=1 AND Titular=?"), {puesto});
}

verifactu::EstadoEnvios BaseDatos::LeerEstadoEnvios()
{
    verifactu::EstadoEnvios e;
    if (!Abierta() || !m_bd->existeTabla(kEnvio))
        return e;
    {
        motor::BaseDeDatos::Sentencia& s = m_bd->preparar(QStringLiteral(
            "SELECT (SELECT count(*) FROM RegistroFacturacion WHERE EstadoEnvio='Pendiente'), "
            "(SELECT count(*) FROM RegistroFacturacion WHERE EstadoEnvio='AceptadoConErrores' AND coalesce(Subsanado, 0) = 0), "
            "(SELECT count(*) FROM RegistroFacturacion WHERE EstadoEnvio='Incorrecto' AND coalesce(Subsanado, 0) = 0)"));
        if (s.paso()) {
            e.pendientes = s.columna(0).aEntero();
            e.conErrores = s.columna(1).aEntero();
            e.rechazados = s.columna(2).aEntero();
        }
        s.reiniciar();
    }
    motor::BaseDeDatos::Sentencia& s =
        m_bd->preparar(QStringLiteral("SELECT Titular, Renovado, UltimoEnvio, TiempoEspera, Motivo FROM EnvioRegistros WHERE Codigo=1"));
    if (s.paso()) {
        e.titular = Texto(s.columna(0));
        e.renovado = s.columna(1).esNulo() ? 0 : s.columna(1).aEntero();
        e.ultimoEnvio = s.columna(2).esNulo() ? 0 : s.columna(2).aEntero();
        if (!s.columna(3).esNulo())
            e.tiempoEspera = static_cast<int>(s.columna(3).aEntero());
        e.motivo = Texto(s.columna(4));
    }
    s.reiniciar();
    return e;
}

void BaseDatos::MarcarSubsanado(qint64 orden)
{
    m_bd->ejecutarNativo(QStringLiteral("UPDATE RegistroFacturacion SET Subsanado=1 WHERE Orden=?"), {orden});
}

std::optional<verifactu::Registro> BaseDatos::RegistroNumero(qint64 orden)
{
    std::vector<verifactu::Registro> r = LeerRegistros(QStringLiteral("WHERE Orden=?"), {orden});
    return r.empty() ? std::nullopt : std::optional<verifactu::Registro>(std::move(r.front()));
}

std::vector<verifactu::FilaRegistro> BaseDatos::ListaRegistros()
{
    std::vector<verifactu::FilaRegistro> filas;
    if (!Abierta() || !m_bd->existeCampo(kRegistros, QStringLiteral("Subsanado")))
        return filas;
    filas.reserve(static_cast<size_t>(m_bd->valorUnico(QStringLiteral("SELECT count(*) FROM RegistroFacturacion")).aEntero()));
    // A second record of an invoice of the same kind can only be a correction of the first.
    QSet<QString> vistas;
    motor::BaseDeDatos::Sentencia& s = m_bd->preparar(QStringLiteral(
        "SELECT Orden, Tipo, Serie || '/' || Numero || Tipo, NumSerieFactura, "
        "FechaExpedicionFactura, TipoFactura, FechaHoraHusoGenRegistro, ImporteTotal, EstadoEnvio, CodigoErrorRegistro, "
        "DescripcionErrorRegistro, CSV, coalesce(Subsanado, 0), coalesce(Incidencia, 0) FROM RegistroFacturacion ORDER BY Orden"));
    while (s.paso()) {
        verifactu::FilaRegistro f;
        f.orden = s.columna(0).aEntero();
        f.anulacion = Texto(s.columna(1)) == QLatin1String("N");
        const QString factura = Texto(s.columna(2));
        f.subsanacion = vistas.contains(factura);
        vistas.insert(factura);
        f.NumSerieFactura = Texto(s.columna(3));
        f.FechaExpedicionFactura = Texto(s.columna(4));
        f.TipoFactura = Texto(s.columna(5));
        f.FechaHoraHusoGenRegistro = Texto(s.columna(6));
        f.importeTotal = s.columna(7).esNulo() ? 0 : s.columna(7).aEntero();
        f.estado = Texto(s.columna(8));
        f.codigo = Texto(s.columna(9));
        f.descripcion = Texto(s.columna(10));
        f.csv = Texto(s.columna(11));
        f.subsanado = s.columna(12).aEntero() != 0;
        f.incidencia = s.columna(13).aEntero() != 0;
        filas.push_back(std::move(f));
    }
    s.reiniciar();
    return filas;
}
