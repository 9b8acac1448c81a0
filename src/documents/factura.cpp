#include "factura.h"

#include "basedatos.h"
#include "dinero.h"
#include "coleccion.h"
#include "formato.h"
#include "global.h"
#include "huella.h"
#include "impresiondocumento.h"
#include "motor.h"
#include "motormascaras.h"
#include "validez.h"
#include "verifactu.h"
#include "utilidades.h"

#include <cmath>
#include <limits>

namespace {


float Acotar(float porcentaje)
{
    if (!(porcentaje >= 0))
        return 0;
    return porcentaje > 100 ? 100 : porcentaje;
}

Valor Opcional(const std::optional<double>& v)
{
    return v ? Valor(*v) : Valor();
}

QString Texto(const std::optional<double>& v, const QString& formato)
{
    return v ? Formato(*v, formato) : QString();
}

}  // namespace

Factura::Factura(BaseDatos& bd) : m_bd(bd) {}

Factura::~Factura() = default;

bool Factura::Fallo(const QString& motivo)
{
    m_ultimoError = motivo;
    return false;
}

bool Factura::WhoAmI(std::optional<qint16> serie, std::optional<qint32> numero)
{
    m_ultimoError.clear();
    if (!numero) {
        Serie = serie.value_or(0);
        Numero.reset();
        m_numeroPropuesto.reset();
        m_serieCargada.reset();
        m_numeroCargado.reset();
        m_huella.clear();
        m_huellaPendiente.reset();
        Fecha = QDate::currentDate();
        Observaciones.clear();
        Pagado = 0;
        Rectifica.reset();
        m_cliente.reset();
        m_usaREq = false;
        m_descuento = 0;
        m_desctoPP = 0;
        m_lineas.clear();
        m_sumas.Vaciar();
        try {
            Numero = m_bd.NuevoNumeroFactura(*Serie);
        } catch (const motor::Error& e) {
            return Fallo(motor::TextoParaUsuario(e));
        }
        m_numeroPropuesto = Numero;
        return true;
    }
    try {
        motor::Recordset rs;
        if (!m_bd.ConsultaCabzFactura(serie.value_or(0), *numero, rs))
            return Fallo(QStringLiteral("No hay ninguna base de datos abierta."));
        if (rs.eof())
            return Fallo(QStringLiteral("La factura %1 no está guardada. Actualice la lista.").arg(*numero));
        m_lineas.clear();
        m_sumas.Vaciar();
        m_numeroPropuesto.reset();
        Serie = CampoAEntero(rs[QStringLiteral("Serie")]);
        Numero = CampoALargo(rs[QStringLiteral("Numero")]);
        m_serieCargada = Serie;
        m_numeroCargado = Numero;
        const QDate fecha = rs[QStringLiteral("Fecha")].aFecha();
        Fecha = fecha.isValid() ? std::optional<QDate>(fecha) : std::nullopt;
        Observaciones = CampoATexto(rs[QStringLiteral("Observaciones")]);
        Pagado = CampoANumero(rs[QStringLiteral("Pagado")]);
        const Valor cliente = rs[QStringLiteral("Cliente")];
        m_cliente = cliente.esNulo() ? std::nullopt : std::optional<qint32>(CampoALargo(cliente));
        Coleccion datos;
        m_usaREq = m_cliente && m_bd.ConsultaCliente(*m_cliente, datos) && datos.valor(QStringLiteral("UsaREq")).aBooleano();
        m_descuento = static_cast<float>(CampoANumero(rs[QStringLiteral("Descuento")]));
        m_desctoPP = static_cast<float>(CampoANumero(rs[QStringLiteral("DesctoPP")]));
        Rectifica.reset();
        if (!rs[QStringLiteral("RectificaNumero")].esNulo())
            Rectifica = Rectificacion{CampoAEntero(rs[QStringLiteral("RectificaSerie")]), CampoALargo(rs[QStringLiteral("RectificaNumero")]),
                                      rs[QStringLiteral("TipoRectificativa")].aTexto() == QLatin1String("S")};
        motor::Recordset detalle;
        if (m_bd.ConsultaDetaFactura(*Serie, *Numero, detalle)) {
            for (; !detalle.eof(); detalle.moveNext()) {
                auto linea = std::make_unique<LineaFactura>(m_bd);
                linea->WhoAmI(detalle);
                Anadir(std::move(linea));
            }
        }
        m_huella = HuellaDocumento(rs, detalle);
        m_huellaPendiente.reset();
    } catch (const motor::Error& e) {
        return Fallo(motor::TextoParaUsuario(e));
    }
    return true;
}

namespace {

// The stored fields of a line, in the order ValoresLinea gives them.
const QStringList& CamposLinea()
{
    static const QStringList campos{QStringLiteral("Concepto"), QStringLiteral("Referencia"), QStringLiteral("Descripcion"),
                                    QStringLiteral("Cantidad"), QStringLiteral("Precio"),     QStringLiteral("Unidad"),
                                    QStringLiteral("Importe"),  QStringLiteral("Descuento"),  QStringLiteral("pIVA"),
                                    QStringLiteral("pREq"),     QStringLiteral("Bultos"),     QStringLiteral("Envase"),
                                    QStringLiteral("Comentario")};
    return campos;
}

std::vector<Valor> ValoresLinea(const LineaFactura& l)
{
    const std::optional<QString> texto = l.Titulo() ? l.Titulo() : l.Concepto();
    return {texto ? Valor(*texto) : Valor(),
            l.Referencia() ? Valor(static_cast<qint64>(*l.Referencia())) : Valor(),
            l.Descripcion() ? Valor(*l.Descripcion()) : Valor(),
            Opcional(l.Cantidad()),
            Opcional(l.Precio()),
            l.Unidad() ? Valor(static_cast<qint64>(*l.Unidad())) : Valor(),
            Opcional(l.Importe()),
            Valor(l.Descuento()),
            Valor(l.pIVA()),
            Valor(l.pREQ()),
            Valor(static_cast<qint64>(l.Bultos())),
            Valor(static_cast<qint64>(l.EnvaseCentimos())),
            l.Comentario().isEmpty() ? Valor() : Valor(l.Comentario())};
}

}  // namespace

void Factura::EscribirLinea(const LineaFactura& l, motor::Recordset& rs)
{
    const std::vector<Valor> valores = ValoresLinea(l);
    for (size_t i = 0; i < valores.size(); ++i)
        rs.fijar(CamposLinea()[static_cast<int>(i)], valores[i]);
}

struct Factura::LineasPreparadas {
    qint16 serie = 0;
    qint32 numero = 0;
    std::vector<std::vector<Valor>> filas;
    QByteArray copia;
};

namespace {

QStringList CamposAlta()
{
    return QStringList{QStringLiteral("Serie"), QStringLiteral("Numero"), QStringLiteral("Linea")} + CamposLinea();
}

// The rows of the lines `cuales` of an invoice, numbered on from `ultima`, ready for `alta`.
std::vector<std::vector<Valor>> FilasNuevas(const motor::BaseDeDatos::Insercion& alta, qint16 serie, qint32 numero,
                                            const std::vector<std::unique_ptr<LineaFactura>>& lineas,
                                            const std::vector<size_t>& cuales, qint64 ultima)
{
    const Valor s = alta.convertir(0, Valor(static_cast<qint64>(serie))), n = alta.convertir(1, Valor(static_cast<qint64>(numero)));
    std::vector<std::vector<Valor>> filas;
    filas.reserve(cuales.size());
    for (size_t i : cuales) {
        std::vector<Valor> fila{s, n, alta.convertir(2, Valor(++ultima))};
        fila.reserve(3 + static_cast<size_t>(CamposLinea().size()));
        int columna = 3;
        for (const Valor& v : ValoresLinea(*lineas[i]))
            fila.push_back(alta.convertir(columna++, v));
        filas.push_back(std::move(fila));
    }
    return filas;
}

}  // namespace

void Factura::PrepararLineas()
{
    m_preparadas.reset();
    // A small invoice converts its lines under the lock in less time than the reads of the
    // table's fields that making them ready would add to every invoice of a batch.
    constexpr size_t kLineasQueCompensan = 500;
    if (!Serie || !Numero || m_numeroCargado || m_lineas.size() < kLineasQueCompensan || !m_bd.Abierta())
        return;
    try {
        motor::BaseDeDatos::Insercion alta(*m_bd.Motor(), QStringLiteral("FacturaVentaDetalle"), CamposAlta());
        auto p = std::make_shared<LineasPreparadas>();
        p->serie = *Serie;
        p->numero = *Numero;
        std::vector<size_t> todas(m_lineas.size());
        for (size_t i = 0; i < todas.size(); ++i)
            todas[i] = i;
        p->filas = FilasNuevas(alta, *Serie, *Numero, m_lineas, todas, 0);
        p->copia = alta.copia(p->filas);
        m_preparadas = std::move(p);
    } catch (const motor::Error&) {
        // Converted again when stored, which tells the refusal.
    }
}

struct Factura::HuellaPendiente {
    motor::Recordset cabecera;
    QStringList campos;
    std::vector<std::vector<Valor>> lineas;
};

bool Factura::Update()
{
    m_ultimoError.clear();
    if (!Serie || !Numero)
        return Fallo(QStringLiteral("Falta la serie o el número de la factura. Escríbalos y vuelva a guardar."));
    if (*Numero < 1)
        return Fallo(QStringLiteral("El número de la factura debe ser mayor que 0. Cámbielo y vuelva a guardar."));
    if (!Fecha || !FechaGuardable(*Fecha))
        return Fallo(QStringLiteral("Falta la fecha de la factura o no es válida. Escríbala y vuelva a guardar."));
    if (!m_cliente)
        return Fallo(QStringLiteral("Debe asignar un cliente a la factura antes de guardarla."));
    if (!std::isfinite(Pagado))
        return Fallo(QStringLiteral("El importe pagado no es un número. Corríjalo y vuelva a guardar."));
    if (!m_bd.Abierta())
        return Fallo(QStringLiteral("No hay ninguna base de datos abierta."));
    try {
        if (!Guardar())
            return false;
        // Saved on its own, the lock is gone: the digest is worked out now, as it always was.
        if (!m_bd.Motor()->enTransaccion())
            Huella();
        return true;
    } catch (const motor::Error& e) {
        // Header and lines stand or fall together: the transaction has rolled back.
        return Fallo(motor::TextoParaUsuario(e));
    }
}

bool Factura::Guardar()
{
    // Header and lines stand or fall together: no invoice is ever stored without its lines.
    const std::shared_ptr<LineasPreparadas> preparadas = std::move(m_preparadas);
    motor::BaseDeDatos::Transaccion transaccion(*m_bd.Motor());
    motor::Recordset cabecera;
    if (m_serieCargada && m_numeroCargado) {
        m_bd.ConsultaCabzFactura(*m_serieCargada, *m_numeroCargado, cabecera);
        motor::Recordset detalle;
        m_bd.ConsultaDetaFactura(*m_serieCargada, *m_numeroCargado, detalle);
        if (cabecera.eof())
            return Fallo(QStringLiteral("La factura %1 ya no está guardada: otro puesto la ha borrado. "
                                        "Sus cambios no se han guardado.")
                             .arg(*m_numeroCargado));
        if (HuellaDocumento(cabecera, detalle) != Huella())
            return Fallo(QStringLiteral("Otro puesto ha cambiado la factura %1 después de que usted la abriera; "
                                        "sus cambios no se han guardado para no borrar los del otro puesto. "
                                        "Vuelva a abrir la factura y repita los cambios.")
                             .arg(*m_numeroCargado));
        // An issued invoice keeps what its record says; only what the record does not hold moves.
        // An annulled one stays as it was annulled.
        const std::optional<verifactu::Registro> registro = m_bd.RegistroDeFactura(*m_serieCargada, *m_numeroCargado);
        if (registro && registro->tipo == verifactu::TipoRegistro::Anulacion)
            return Fallo(QStringLiteral("La factura %1 está anulada: ya no se puede cambiar.").arg(*m_numeroCargado));
        if (registro) {
            QString motivo;
            const std::optional<verifactu::Registro> ahora = verifactu::AltaDeFactura(m_bd, *this, motivo);
            if (!ahora || !verifactu::MismasCifras(*registro, *ahora))
                return Fallo(QStringLiteral("La factura %1 ya tiene su registro de facturación (VERI*FACTU): su número, fecha, "
                                            "cliente e importes no se pueden cambiar. Para corregirla hay que emitir una factura "
                                            "rectificativa.")
                                 .arg(*m_numeroCargado));
        }
        if (CampoALargo(cabecera[QStringLiteral("Cliente")]) != *m_cliente && !ClienteIdentificable())
            return false;
        cabecera.edit();
    } else {
        if (!ClienteIdentificable())
            return false;
        // A new invoice never takes over a stored one, whatever its number.
        m_bd.ConsultaCabzFactura(*Serie, *Numero, cabecera);
        if (!cabecera.eof()) {
            if (Numero != m_numeroPropuesto)
                return Fallo(QStringLiteral("Ya hay una factura con el número %1 en esta serie. "
                                            "Cambie el número y vuelva a guardar.")
                                 .arg(*Numero));
            // Another station stored the number proposed to this invoice: the next free one,
            // taken under this write lock.
            Numero = m_bd.NuevoNumeroFactura(*Serie);
            m_numeroPropuesto = Numero;
            m_bd.ConsultaCabzFactura(*Serie, *Numero, cabecera);
        }
        cabecera.addNew();
    }
    cabecera.fijar(QStringLiteral("Serie"), Valor(static_cast<qint64>(*Serie)));
    cabecera.fijar(QStringLiteral("Numero"), Valor(static_cast<qint64>(*Numero)));
    cabecera.fijar(QStringLiteral("Fecha"), Valor(*Fecha));
    cabecera.fijar(QStringLiteral("Observaciones"), Valor(Observaciones));
    cabecera.fijar(QStringLiteral("Cliente"), Valor(static_cast<qint64>(*m_cliente)));
    cabecera.fijar(QStringLiteral("Descuento"), Valor(m_descuento));
    cabecera.fijar(QStringLiteral("DesctoPP"), Valor(m_desctoPP));
    cabecera.fijar(QStringLiteral("Pagado"), Valor(Pagado));
    cabecera.fijar(QStringLiteral("RectificaSerie"), Rectifica ? Valor(static_cast<qint64>(Rectifica->serie)) : Valor());
    cabecera.fijar(QStringLiteral("RectificaNumero"), Rectifica ? Valor(static_cast<qint64>(Rectifica->numero)) : Valor());
    cabecera.fijar(QStringLiteral("TipoRectificativa"),
                   Rectifica ? Valor(Rectifica->sustitucion ? QStringLiteral("S") : QStringLiteral("I")) : Valor());
    cabecera.update();

    motor::Recordset rs;
    m_bd.ConsultaDetaFactura(*Serie, *Numero, rs);
    // With no line stored before, the lines are exactly the rows written below, in this order.
    const bool sinLineasPrevias = rs.eof();
    std::vector<size_t> nuevas;
    qint64 ultima = 0;
    size_t i = 0;
    while (!rs.eof() || i < m_lineas.size()) {
        if (rs.eof()) {
            nuevas.push_back(i++);
            continue;
        }
        const qint32 guardada = CampoALargo(rs[QStringLiteral("Linea")]);
        ultima = std::max<qint64>(ultima, guardada);
        if (i >= m_lineas.size() || guardada < m_lineas[i]->Ordinal()) {
            rs.remove();
            rs.moveNext();
        } else if (guardada > m_lineas[i]->Ordinal()) {
            nuevas.push_back(i++);
        } else {
            rs.edit();
            EscribirLinea(*m_lineas[i], rs);
            rs.update();
            rs.moveNext();
            ++i;
        }
    }
    std::vector<std::pair<size_t, qint64>> numeradas;
    // The lines as a read of them would give them back, when that is certain without reading.
    std::optional<std::vector<std::vector<Valor>>> escritas;
    QStringList camposEscritos;
    if (!nuevas.empty()) {
        // New lines (all of them, on a new invoice) through one prepared statement: each is
        // converted before any of them is written, and then only bound and run. Lines made
        // ready before the lock are taken as they are while the invoice is still what they say.
        motor::BaseDeDatos::Insercion alta(*m_bd.Motor(), QStringLiteral("FacturaVentaDetalle"), CamposAlta());
        const bool listas = preparadas && sinLineasPrevias && preparadas->serie == *Serie && preparadas->numero == *Numero
                            && preparadas->filas.size() == nuevas.size();
        std::vector<std::vector<Valor>> filas = listas ? std::move(preparadas->filas)
                                                       : FilasNuevas(alta, *Serie, *Numero, m_lineas, nuevas, ultima);
        for (size_t n : nuevas)
            numeradas.emplace_back(n, ++ultima);
        alta.insertar(filas, listas ? preparadas->copia : QByteArray());
        if (sinLineasPrevias) {
            escritas.emplace();
            escritas->reserve(filas.size());
            for (std::vector<Valor>& fila : filas) {
                std::optional<std::vector<Valor>> leida = alta.comoSeLee(std::move(fila));
                if (!leida) {
                    escritas.reset();
                    break;
                }
                escritas->push_back(std::move(*leida));
            }
            camposEscritos = alta.camposTabla();
        }
    } else if (sinLineasPrevias) {
        escritas.emplace();
    }
    if (m_numeroCargado && *m_numeroCargado > 0 && m_serieCargada && *Serie != *m_serieCargada)
        // A new series too: the notes must follow both, or they would point at nothing.
        m_bd.CambioSerieFacturaEnAlbaran(*m_serieCargada, *m_numeroCargado, *Serie, *Numero);
    else if (m_numeroCargado && *m_numeroCargado > 0 && *Numero != *m_numeroCargado)
        m_bd.CambioFacturaEnAlbaran(*m_serieCargada, *m_numeroCargado, *Numero);
    // Issued for the first time with the mode on: its record, in this same transaction, after
    // the last one read under this write lock. Within a series the numbers run without gaps
    // and the dates never go back.
    if (!m_numeroCargado && m_bd.LeerVerifactu().Activo) {
        const std::optional<std::pair<qint32, QDate>> anterior = m_bd.FacturaAnterior(*Serie, *Numero);
        // This invoice is already written here: it must be the highest of its series, right
        // after the one before it.
        const qint32 mayor = m_bd.NuevoNumeroFactura(*Serie) - 1;
        const qint32 siguiente = mayor != *Numero ? mayor + 1 : anterior ? anterior->first + 1 : *Numero;
        if (*Numero != siguiente)
            return Fallo(QStringLiteral("Las facturas de una serie van numeradas sin saltos: la siguiente de esta serie es la %1. "
                                        "Cambie el número y vuelva a guardar.")
                             .arg(siguiente));
        if (anterior && anterior->second.isValid() && *Fecha < anterior->second)
            return Fallo(QStringLiteral("La fecha de la factura (%1) es anterior a la de la factura %2 de la misma serie (%3): "
                                        "una factura no puede llevar fecha anterior a la de la factura que la precede. "
                                        "Cambie la fecha y vuelva a guardar.")
                             .arg(Fecha->toString(QStringLiteral("dd/MM/yyyy")))
                             .arg(anterior->first)
                             .arg(anterior->second.toString(QStringLiteral("dd/MM/yyyy"))));
        QString motivo;
        std::optional<verifactu::Registro> registro = verifactu::AltaDeFactura(m_bd, *this, motivo);
        if (!registro)
            return Fallo(motivo);
        verifactu::Encadenar(m_bd, *registro, QDateTime::currentDateTime());
    }
    // The digest of what is now stored, for the next save to compare with. Thousands of new
    // lines are not read back under the lock when what they read as is known already.
    motor::Recordset guardada, lineas;
    m_bd.ConsultaCabzFactura(*Serie, *Numero, guardada);
    QByteArray huella;
    std::shared_ptr<HuellaPendiente> pendiente;
    if (escritas) {
        pendiente = std::make_shared<HuellaPendiente>(HuellaPendiente{std::move(guardada), camposEscritos, std::move(*escritas)});
    } else {
        m_bd.ConsultaDetaFactura(*Serie, *Numero, lineas);
        huella = HuellaDocumento(guardada, lineas);
    }
    transaccion.commit();
    // From now on the object is the stored invoice: a second Update edits it in place.
    for (const auto& [n, linea] : numeradas)
        m_lineas[n]->m_ordinal = static_cast<qint16>(linea);
    m_serieCargada = Serie;
    m_numeroCargado = Numero;
    m_numeroPropuesto.reset();
    m_huella = huella;
    m_huellaPendiente = std::move(pendiente);
    return true;
}

const QByteArray& Factura::Huella()
{
    if (m_huellaPendiente) {
        m_huella = HuellaDocumento(m_huellaPendiente->cabecera, m_huellaPendiente->campos, m_huellaPendiente->lineas);
        m_huellaPendiente.reset();
    }
    return m_huella;
}

bool NifAdmisible(const QString& nif)
{
    const QString n = nif.trimmed().toUpper();
    if (n.isEmpty() || NIFValido(n))
        return true;
    auto letra = [&](int i) { return n.size() > i && n.at(i) >= QLatin1Char('A') && n.at(i) <= QLatin1Char('Z'); };
    if (!letra(0) || !letra(1))
        return false;
    return n.startsWith(QLatin1String("ES")) ? NIFValido(n.mid(2)).has_value() : n.size() > 4;
}

bool Factura::ClienteIdentificable()
{
    // Read under the write lock: the customer's file as it is when the invoice is stored.
    Coleccion datos;
    if (!m_bd.ConsultaCliente(*m_cliente, datos))
        return Fallo(QStringLiteral("El cliente %1 ya no existe: elija otro y vuelva a guardar.").arg(*m_cliente));
    const QString nif = CampoATexto(datos.valor(QStringLiteral("NIF"))).trimmed();
    // Without a NIF the invoice is a simplified one; a wrong one would name nobody.
    if (NifAdmisible(nif))
        return true;
    return Fallo(QStringLiteral("El N.I.F. %1 del cliente %2 no es correcto. Corríjalo en los datos del cliente "
                                "(o déjelo vacío para una factura simplificada) y vuelva a guardar.")
                     .arg(nif)
                     .arg(*m_cliente));
}

bool Factura::Delete()
{
    m_ultimoError.clear();
    // The invoice that was loaded, even when its number has been edited since.
    const bool cargada = m_serieCargada && m_numeroCargado;
    const std::optional<qint16> serie = cargada ? m_serieCargada : Serie;
    const std::optional<qint32> numero = cargada ? m_numeroCargado : Numero;
    if (!serie || !numero)
        return Fallo(QStringLiteral("La factura no tiene serie o número."));
    try {
        if (m_bd.RegistroDeFactura(*serie, *numero))
            return Fallo(QStringLiteral("La factura %1 tiene su registro de facturación (VERI*FACTU): no se puede borrar. "
                                        "Si se emitió por error, hay que anularla.")
                             .arg(*numero));
        if (!m_bd.EliminarFactura(*serie, *numero))
            return Fallo(QStringLiteral("La factura %1 no se ha borrado: ya no está guardada.").arg(*numero));
    } catch (const motor::Error& e) {
        return Fallo(motor::TextoParaUsuario(e));
    }
    return true;
}

bool Factura::Anular()
{
    m_ultimoError.clear();
    if (!m_serieCargada || !m_numeroCargado)
        return Fallo(QStringLiteral("La factura no está guardada: no hay nada que anular."));
    const qint16 serie = *m_serieCargada;
    const qint32 numero = *m_numeroCargado;
    try {
        // Read again under the write lock: another station may have annulled it meanwhile.
        motor::BaseDeDatos::Transaccion t(*m_bd.Motor());
        const std::optional<verifactu::Registro> alta = m_bd.RegistroDeFactura(serie, numero);
        if (!alta)
            return Fallo(QStringLiteral("La factura %1 no tiene registro de facturación: no hace falta anularla.").arg(numero));
        if (alta->tipo == verifactu::TipoRegistro::Anulacion)
            return Fallo(QStringLiteral("La factura %1 ya está anulada.").arg(numero));
        verifactu::Registro anulacion;
        anulacion.tipo = verifactu::TipoRegistro::Anulacion;
        anulacion.serie = serie;
        anulacion.numero = numero;
        anulacion.IDEmisorFactura = alta->IDEmisorFactura;
        anulacion.NombreRazonEmisor = alta->NombreRazonEmisor;
        anulacion.NumSerieFactura = alta->NumSerieFactura;
        anulacion.FechaExpedicionFactura = alta->FechaExpedicionFactura;
        verifactu::Encadenar(m_bd, anulacion, QDateTime::currentDateTime());
        m_bd.LiberarAlbaranes(serie, numero);
        t.commit();
    } catch (const motor::Error& e) {
        return Fallo(motor::TextoParaUsuario(e));
    }
    return true;
}

qint16 Factura::SerieRectificativa(qint16 serie)
{
    return serie >= 10 ? serie : static_cast<qint16>(serie + 10);
}

bool Factura::Rectificar(qint16 serie, qint32 numero, bool sustitucion)
{
    m_ultimoError.clear();
    Factura original(m_bd);
    if (!original.WhoAmI(serie, numero))
        return Fallo(original.UltimoError());
    try {
        const std::optional<verifactu::Registro> registro = m_bd.RegistroDeFactura(serie, numero);
        if (!registro || registro->tipo != verifactu::TipoRegistro::Alta)
            return Fallo(QStringLiteral("La factura %1 no tiene registro de facturación o está anulada: no se puede rectificar.")
                             .arg(numero));
        motor::Recordset lineas;
        if (sustitucion)
            m_bd.ConsultaDetaFactura(serie, numero, lineas);
        if (!WhoAmI(SerieRectificativa(serie)))
            return false;
        Rectifica = Rectificacion{serie, numero, sustitucion};
        SetCliente(*original.Cliente());
        m_descuento = original.m_descuento;
        m_desctoPP = original.m_desctoPP;
        Observaciones = QStringLiteral("Rectifica la factura %1 del %2 %3.")
                            .arg(registro->NumSerieFactura, original.Fecha->toString(QStringLiteral("dd/MM/yyyy")),
                                 sustitucion ? QStringLiteral("por sustitución") : QStringLiteral("por diferencias"));
        for (; sustitucion && !lineas.eof(); lineas.moveNext()) {
            auto linea = std::make_unique<LineaFactura>(m_bd);
            linea->WhoAmI(lineas);
            Anadir(std::move(linea));
        }
    } catch (const motor::Error& e) {
        return Fallo(motor::TextoParaUsuario(e));
    }
    return true;
}

bool Factura::SetCliente(qint32 codigo)
{
    Coleccion datos;
    if (!m_bd.ConsultaCliente(codigo, datos))
        return false;
    m_cliente = codigo;
    m_usaREq = datos.valor(QStringLiteral("UsaREq")).aBooleano();
    return true;
}

void Factura::FijarDescuento(float porcentaje)
{
    m_descuento = Acotar(porcentaje);
}

void Factura::FijarDesctoPP(float porcentaje)
{
    m_desctoPP = Acotar(porcentaje);
}

LineaFactura* Factura::NuevaLinea()
{
    // Lines are addressed and stored with 16-bit numbers.
    if (m_lineas.size() >= static_cast<size_t>(std::numeric_limits<qint16>::max()))
        return nullptr;
    return Anadir(std::make_unique<LineaFactura>(m_bd));
}

LineaFactura* Factura::Anadir(std::unique_ptr<LineaFactura> linea)
{
    m_sumas.Anadir(linea->Aportacion());
    linea->m_sumas = &m_sumas;
    m_lineas.push_back(std::move(linea));
    return m_lineas.back().get();
}

LineaFactura* Factura::Linea(qint16 indice) const
{
    if (indice < 1 || indice > NumeroLineas())
        return nullptr;
    return m_lineas[static_cast<size_t>(indice - 1)].get();
}

bool Factura::EliminarLinea(qint16 indice)
{
    if (indice < 1 || indice > NumeroLineas())
        return false;
    const auto linea = m_lineas.begin() + (indice - 1);
    m_sumas.Quitar((*linea)->Aportacion());
    m_lineas.erase(linea);
    return true;
}

std::vector<FilaBase> Factura::Totales() const
{
    return m_sumas.Filas(m_usaREq);
}

std::vector<FilaBase> Factura::TotalesDeLasLineas() const
{
    SumasIVA sumas;
    for (const auto& linea : m_lineas)
        sumas.Anadir(linea->Aportacion());
    return sumas.Filas(m_usaREq);
}

std::vector<Factura::DesgloseCentimos> Factura::DesgloseEnCentimos() const
{
    std::vector<DesgloseCentimos> filas;
    for (const FilaBase& t : Totales()) {
        DesgloseCentimos d;
        d.pIVA = static_cast<float>(t.clave.value_or(0));
        d.pREQ = static_cast<float>(t.recargo);
        d.Neto = Centimos(t.importe);
        // The base is rounded once after both discounts, as the invoice list works it out, so
        // that the printed total and the list agree to the cent. The discounts shown add up to
        // net - base: the cent of rounding goes to the prompt-payment discount, or to the
        // general one when the invoice has no prompt-payment discount; a discount of 0 % is 0.
        d.BaseImponible = TrasDescuentos(d.Neto, m_descuento, m_desctoPP);
        const qint64 descuentos = d.Neto - d.BaseImponible;
        if (m_desctoPP == 0) {
            d.Descuento = m_descuento == 0 ? 0 : descuentos;
        } else {
            d.Descuento = PorcentajeDe(d.Neto, m_descuento);
            d.DesctoPP = descuentos - d.Descuento;
        }
        d.IVA = PorcentajeDe(d.BaseImponible, d.pIVA);
        d.REq = PorcentajeDe(d.BaseImponible, d.pREQ);
        d.Importe = d.BaseImponible + d.IVA + d.REq;
        filas.push_back(d);
    }
    return filas;
}

namespace {

DesgloseIVA EnEuros(const Factura::DesgloseCentimos& d)
{
    DesgloseIVA e;
    e.pIVA = d.pIVA;
    e.pREQ = d.pREQ;
    e.Neto = AEuros(d.Neto);
    e.Descuento = AEuros(d.Descuento);
    e.DesctoPP = AEuros(d.DesctoPP);
    e.BaseImponible = AEuros(d.BaseImponible);
    e.IVA = AEuros(d.IVA);
    e.REq = AEuros(d.REq);
    e.Importe = AEuros(d.Importe);
    return e;
}

}  // namespace

std::vector<DesgloseIVA> Factura::Desglose() const
{
    std::vector<DesgloseIVA> filas;
    for (const DesgloseCentimos& d : DesgloseEnCentimos())
        filas.push_back(EnEuros(d));
    return filas;
}

Factura::DesgloseCentimos Factura::TotalEnCentimos() const
{
    DesgloseCentimos total;
    for (const DesgloseCentimos& d : DesgloseEnCentimos()) {
        total.Neto += d.Neto;
        total.Descuento += d.Descuento;
        total.DesctoPP += d.DesctoPP;
        total.BaseImponible += d.BaseImponible;
        total.IVA += d.IVA;
        total.REq += d.REq;
        total.Importe += d.Importe;
    }
    return total;
}

DesgloseIVA Factura::Total() const
{
    return EnEuros(TotalEnCentimos());
}

double Factura::ImporteEnvases() const
{
    return AEuros(m_sumas.Envases(0));
}

qint64 Factura::CentimosALiquidar() const
{
    return TotalEnCentimos().Importe + m_sumas.Envases(0);
}

double Factura::ImporteALiquidar() const
{
    return AEuros(CentimosALiquidar());
}

float Factura::RecargoDeIVA(float iva)
{
    for (size_t d = 1; d <= 10; ++d)
        if (Global::IVADepartamento[d] == iva)
            return Global::RecargoEquivalencia[d];
    return 0;
}

double Factura::ImporteEnvasesDevueltos() const
{
    return AEuros(m_sumas.Envases(-1));
}

double Factura::ImporteEnvasesEntregados() const
{
    return AEuros(m_sumas.Envases(1));
}

bool Factura::prn_SaltoPagina() const
{
    return m_posicionImpresion >= NumeroLineas();
}

bool Factura::Imprimir(MotorMascaras& motor, const QString& carpetaMascaras)
{
    const QString letra = Serie ? verifactu::LetraSerie(*Serie) : QString();
    // Each invoice its own job: a PDF printer names its file after it instead of overwriting one.
    motor.TituloTrabajo(QStringLiteral("Factura %1-%2").arg(letra, Numero ? NumeroConCeros(*Numero, 6) : QString()));
    if (!motor.CargaMascaras(UnirRuta(carpetaMascaras, QStringLiteral("mskFact.txt"))))
        return false;
    // An issued invoice prints its tax QR code, with what its record says.
    QString codigo, titulo, leyenda, numSerie, anulada;
    if (Serie && Numero) {
        numSerie = verifactu::NumSerie(*Serie, *Numero);
        try {
            const std::optional<verifactu::Registro> registro = m_bd.RegistroDeFactura(*Serie, *Numero);
            if (registro && registro->tipo == verifactu::TipoRegistro::Anulacion)
                anulada = QStringLiteral("ANULADA");
            if (registro && registro->tipo == verifactu::TipoRegistro::Alta) {
                codigo = verifactu::UrlCotejo(*registro, m_bd.LeerVerifactu().Pruebas);
                titulo = QStringLiteral("QR tributario:");
                leyenda = QStringLiteral("VERI*FACTU");
            }
        } catch (const motor::Error&) {
            // Printed without the code; the chain check reports what is wrong with the file.
        }
    }
    ImpresionDocumento impresion(motor, CabeceraImpresion(m_bd, m_cliente, {
        {QStringLiteral("@ABC"), letra},
        {QStringLiteral("@NUMSERIE"), numSerie},
        {QStringLiteral("@RECTIFICA"), Rectifica ? QStringLiteral("Rectifica la factura %1 %2")
                                                        .arg(verifactu::NumSerie(Rectifica->serie, Rectifica->numero),
                                                             Rectifica->sustitucion ? QStringLiteral("por sustitución")
                                                                                    : QStringLiteral("por diferencias"))
                                                  : QString()},
        {QStringLiteral("@CODIGOQR"), codigo},
        {QStringLiteral("@TITULOQR"), titulo},
        {QStringLiteral("@LEYENDAQR"), leyenda},
        {QStringLiteral("@ANULADA"), anulada},
        {QStringLiteral("@NUMERO"), Numero ? LargoATexto(*Numero) : QString()},
        {QStringLiteral("@FECHA"), Fecha ? Formato(Valor(*Fecha), QStringLiteral("dd/mm/yyyy")) : QString()},
    }));
    impresion.Cabecera();

    const QStringList marcasLinea = {
        QStringLiteral("@TITULO"), QStringLiteral("@REFERENCIA"), QStringLiteral("@DESCRIPCION"), QStringLiteral("@CONCEPTO"),
        QStringLiteral("@PORCIENTO"), QStringLiteral("@CANTIDAD"), QStringLiteral("@PRECIO"), QStringLiteral("@DESCUENTO"),
        QStringLiteral("@IMPORTE"), QStringLiteral("@BULTOS"), QStringLiteral("@ENVASE")};
    // An int: at 32,767 lines a 16-bit counter wraps and never ends.
    for (int i = 1; i <= NumeroLineas(); ++i) {
        m_posicionImpresion = static_cast<qint16>(i);
        const LineaFactura& l = *Linea(static_cast<qint16>(i));
        const bool articulo = l.Referencia().has_value();
        impresion.Imprimir(articulo ? 2 : 1, {
            {TextoDeUnaLinea(l.Titulo().value_or(QString()))},
            {articulo ? Formato(static_cast<double>(*l.Referencia()), QStringLiteral("0000000")) : QString()},
            {TextoDeUnaLinea(l.Descripcion().value_or(QString()))},
            {TextoDeUnaLinea(l.Concepto().value_or(QString()))},
            {static_cast<double>(l.pIVA()), kFormatoPorcentaje},
            {Texto(l.Cantidad(), l.Unidad() == std::optional<qint16>(2) ? kFormatoUnidades : kFormatoKilos)},
            {Texto(l.Precio(), kFormatoMoneda)},
            {static_cast<double>(l.Descuento()), kFormatoMoneda},
            {Texto(l.Importe(), kFormatoMoneda)},
            {l.Bultos(), kFormatoUnidades},
            {l.Envase(), kFormatoMoneda},
        }, marcasLinea);
        if (!l.Comentario().isEmpty())
            impresion.ImprimirComentario(2, marcasLinea, QStringLiteral("@DESCRIPCION"), l.Comentario());
    }
    impresion.ImprimirConCabecera(3);

    for (const DesgloseIVA& d : Desglose()) {
        impresion.Imprimir(4, {
            {d.pIVA, kFormatoPorcentaje},
            {d.pREQ, kFormatoPorcentaje},
            {d.Neto, kFormatoMoneda},
            {d.Descuento, kFormatoMoneda},
            {d.DesctoPP, kFormatoMoneda},
            {d.BaseImponible, kFormatoMoneda},
            {d.IVA, kFormatoMoneda},
            {d.REq, kFormatoMoneda},
            {d.Importe, kFormatoMoneda},
        }, {QStringLiteral("@PCIVA"), QStringLiteral("@PCREQ"), QStringLiteral("@NETO"), QStringLiteral("@DESCUENTO"),
            QStringLiteral("@DESCTOPP"), QStringLiteral("@BASEIMPONIBLE"), QStringLiteral("@IVA"), QStringLiteral("@REQ"),
            QStringLiteral("@IMPORTE")});
    }
    const DesgloseIVA total = Total();
    const double envases = ImporteEnvases();
    impresion.Imprimir(5, {
        {total.Neto, kFormatoMoneda},
        {total.Descuento + total.DesctoPP, kFormatoMoneda},
        {total.BaseImponible, kFormatoMoneda},
        {total.IVA, kFormatoMoneda},
        {total.REq, kFormatoMoneda},
        {total.Importe, kFormatoMoneda},
        {envases, kFormatoMoneda},
        {ImporteEnvasesDevueltos(), kFormatoMoneda},
        {ImporteEnvasesEntregados(), kFormatoMoneda},
        {ImporteALiquidar(), kFormatoMoneda},
        {envases == 0 ? QStringLiteral("N") : QString()},
    }, {QStringLiteral("@NETO"), QStringLiteral("@DESCUENTO"), QStringLiteral("@BASEIMPONIBLE"), QStringLiteral("@IVA"),
        QStringLiteral("@REQ"), QStringLiteral("@IMPORTE"), QStringLiteral("@ENVASES"), QStringLiteral("@ENV_DEV"),
        QStringLiteral("@ENV_ENT"), QStringLiteral("@TOTALENVASES"), QStringLiteral("@X")});
    motor.Cerrar();
    m_posicionImpresion = 0;
    return true;
}
