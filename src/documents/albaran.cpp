#include "albaran.h"

#include "albaranes.h"
#include "basedatos.h"
#include "coleccion.h"
#include "dinero.h"
#include "envases.h"
#include "formato.h"
#include "global.h"
#include "huella.h"
#include "impresiondocumento.h"
#include "motor.h"
#include "motormascaras.h"
#include "validez.h"
#include "sumasiva.h"

#include <cmath>
#include <functional>
#include <limits>

namespace {

// Characters the stored line comment holds.
constexpr qsizetype kLargoComentario = 255;

}  // namespace

Albaran::Albaran(BaseDatos& bd) : m_bd(bd) {}

Albaran::~Albaran() = default;

void Albaran::FijarTicket(qint32 docID, qint32 marcaVista)
{
    m_ticket = docID;
    m_marcaTicket = marcaVista;
}

bool Albaran::Fallo(const QString& motivo)
{
    m_ultimoError = motivo;
    return false;
}

bool Albaran::WhoAmI()
{
    m_ultimoError.clear();
    Numero.reset();
    m_numeroPropuesto.reset();
    m_numeroCargado.reset();
    Fecha = QDate::currentDate();
    Observaciones.clear();
    Pagado = 0;
    DesctoPP = 0;
    m_cliente.reset();
    m_usaREq = false;
    m_descuento = 0;
    m_serieFactura.reset();
    m_factura.reset();
    m_facturado = false;
    m_onLine = false;
    m_lineas.clear();
    m_huella.clear();
    m_guardado = false;
    m_ticket.reset();
    m_marcaTicket = 0;
    try {
        Numero = m_bd.NuevoNumeroAlbaran();
    } catch (const motor::Error& e) {
        return Fallo(motor::TextoParaUsuario(e));
    }
    m_numeroPropuesto = Numero;
    return true;
}

QByteArray Albaran::HuellaGuardada(qint32 numero)
{
    motor::Recordset cabecera, detalle;
    m_bd.ConsultaCabzAlbaran(numero, cabecera);
    m_bd.ConsultaDetaAlbaran(numero, detalle);
    return HuellaDocumento(cabecera, detalle);
}

bool Albaran::SinCambiosAjenos()
{
    if (!m_numeroCargado)
        return true;
    try {
        motor::Recordset cabecera, detalle;
        m_bd.ConsultaCabzAlbaran(*m_numeroCargado, cabecera);
        if (cabecera.eof())
            return SinCambiosAjenos(std::nullopt);
        m_bd.ConsultaDetaAlbaran(*m_numeroCargado, detalle);
        return SinCambiosAjenos(HuellaDocumento(cabecera, detalle));
    } catch (const motor::Error& e) {
        return Fallo(motor::TextoParaUsuario(e));
    }
}

bool Albaran::SinCambiosAjenos(const std::optional<QByteArray>& guardada)
{
    if (!m_numeroCargado)
        return true;
    if (!guardada)
        return Fallo(QStringLiteral("El albarán %1 ya no está guardado: otro puesto lo ha borrado. "
                                    "Sus cambios no se han guardado.")
                         .arg(*m_numeroCargado));
    if (*guardada != m_huella)
        return Fallo(QStringLiteral("Otro puesto ha cambiado el albarán %1 después de que usted lo abriera; "
                                    "sus cambios no se han guardado para no borrar los del otro puesto. "
                                    "Vuelva a abrir el albarán y repita los cambios.")
                         .arg(*m_numeroCargado));
    return true;
}

bool Albaran::WhoAmI(qint32 numero)
{
    m_ultimoError.clear();
    try {
        motor::Recordset rs;
        if (!m_bd.ConsultaCabzAlbaran(numero, rs))
            return Fallo(QStringLiteral("No hay ninguna base de datos abierta."));
        if (rs.eof())
            return Fallo(QStringLiteral("El albarán %1 no está guardado. Actualice la lista.").arg(numero));
        m_lineas.clear();
        m_huella.clear();
        m_guardado = false;
        m_ticket.reset();
        m_numeroPropuesto.reset();
        Numero = CampoALargo(rs[QStringLiteral("Numero")]);
        m_numeroCargado = Numero;
        const QDate fecha = rs[QStringLiteral("Fecha")].aFecha();
        Fecha = fecha.isValid() ? std::optional<QDate>(fecha) : std::nullopt;
        Observaciones = CampoATexto(rs[QStringLiteral("Observaciones")]);
        const Valor cliente = rs[QStringLiteral("Cliente")];
        m_cliente = cliente.esNulo() ? std::nullopt : std::optional<qint32>(CampoALargo(cliente));
        m_usaREq = false;
        m_descuento = 0;
        if (double descuento = 0; m_cliente && m_bd.RecargoYDescuentoCliente(*m_cliente, m_usaREq, descuento))
            m_descuento = static_cast<float>(descuento);
        const Valor serie = rs[QStringLiteral("sFac")];
        m_serieFactura = serie.esNulo() ? std::nullopt : std::optional<qint16>(CampoAEntero(serie));
        const Valor factura = rs[QStringLiteral("Factura")];
        m_factura = factura.esNulo() ? std::nullopt : std::optional<qint32>(CampoALargo(factura));
        Pagado = CampoANumero(rs[QStringLiteral("Pagado")]);
        DesctoPP = static_cast<float>(CampoANumero(rs[QStringLiteral("DesctoPP")]));
        m_facturado = m_factura.has_value();
        m_onLine = rs[QStringLiteral("onLine")].aBooleano();

        motor::Recordset detalle;
        if (!m_bd.ConsultaDetaAlbaran(numero, detalle))
            return false;
        for (; !detalle.eof(); detalle.moveNext()) {
            auto linea = std::make_unique<LineaAlbaran>(m_bd);
            linea->WhoAmI(detalle);
            m_lineas.push_back(std::move(linea));
        }
        m_huella = HuellaDocumento(rs, detalle);
    } catch (const motor::Error& e) {
        return Fallo(motor::TextoParaUsuario(e));
    }
    return true;
}

namespace {

// One stock movement; a quantity beyond 32 bits (the difference of two stored quantities can
// be) goes in two. A line without an article moves nothing.
bool MoverStock(BaseDatos& bd, qint32 articulo, qint64 cantidad)
{
    if (articulo < 1)
        return false;
    if (cantidad >= std::numeric_limits<qint32>::min() && cantidad <= std::numeric_limits<qint32>::max())
        return bd.Stock(articulo, static_cast<qint32>(cantidad));
    const qint64 mitad = cantidad / 2;
    const bool primera = bd.Stock(articulo, static_cast<qint32>(mitad));
    return bd.Stock(articulo, static_cast<qint32>(cantidad - mitad)) && primera;
}

}  // namespace

void Albaran::EscribirCabecera(motor::Recordset& rs)
{
    rs.fijar(QStringLiteral("Numero"), Valor(static_cast<qint64>(*Numero)));
    rs.fijar(QStringLiteral("Fecha"), Valor(*Fecha));
    rs.fijar(QStringLiteral("Observaciones"), Valor(Observaciones));
    rs.fijar(QStringLiteral("Cliente"), Valor(static_cast<qint64>(*m_cliente)));
    rs.fijar(QStringLiteral("sFac"), m_serieFactura ? Valor(static_cast<qint64>(*m_serieFactura)) : Valor());
    rs.fijar(QStringLiteral("Factura"), m_factura ? Valor(static_cast<qint64>(*m_factura)) : Valor());
    rs.fijar(QStringLiteral("Pagado"), Valor(Pagado));
    rs.fijar(QStringLiteral("DesctoPP"), Valor(DesctoPP));
    rs.fijar(QStringLiteral("onLine"), Valor(m_onLine));
    rs.update();
}

void Albaran::EscribirLinea(const LineaAlbaran& linea, motor::Recordset& rs)
{
    if (!m_facturado) {
        rs.fijar(QStringLiteral("Articulo"), Valor(static_cast<qint64>(linea.Codigo())));
        QString nombre;
        qint16 depto = linea.Departamento();
        qint16 cada = 0;
        qint32 precio = 0;
        m_bd.DatosArticulo(linea.Codigo(), nombre, depto, cada, precio);
        if (nombre.isEmpty()) {
            // Not in the catalogue: the line keeps its own unit, so its amount does not change.
            depto = linea.Departamento();
            cada = linea.Cada();
        }
        rs.fijar(QStringLiteral("Departamento"), Valor(static_cast<qint64>(depto)));
        rs.fijar(QStringLiteral("Cada"), Valor(static_cast<qint64>(cada)));
        rs.fijar(QStringLiteral("Precio"), Valor(static_cast<qint64>(linea.PrecioCentimos())));
        rs.fijar(QStringLiteral("Descuento"), Valor(linea.Descuento()));
        rs.fijar(QStringLiteral("Cantidad"), Valor(static_cast<qint64>(linea.CantidadGramos())));
        rs.fijar(QStringLiteral("Bultos"), Valor(static_cast<qint64>(linea.Bultos)));
        rs.fijar(QStringLiteral("Envase"), Valor(static_cast<qint64>(linea.EnvaseCentimos())));
        rs.fijar(QStringLiteral("Comentario"), linea.Comentario().isEmpty() ? Valor() : Valor(linea.Comentario()));
    }
    const qint64 delta = static_cast<qint64>(linea.CanStock()) - CampoALargo(rs[QStringLiteral("CanStock")]);
    if (delta != 0) {
        const bool movido = MoverStock(m_bd, linea.Codigo(), delta);
        rs.fijar(QStringLiteral("CanStock"), Valor(static_cast<qint64>(movido ? linea.CanStock() : 0)));
    } else if (linea.CanStock() == 0) {
        rs.fijar(QStringLiteral("CanStock"), Valor(static_cast<qint64>(0)));
    }
}

bool Albaran::Update()
{
    m_ultimoError.clear();
    if (m_guardado)
        return Fallo(QStringLiteral("Este albarán ya se ha guardado. Vuelva a abrirlo antes de guardarlo otra vez."));
    if (!Numero)
        return Fallo(QStringLiteral("Falta el número del albarán. Escríbalo y vuelva a guardar."));
    if (*Numero < 1)
        return Fallo(QStringLiteral("El número del albarán debe ser mayor que 0. Cámbielo y vuelva a guardar."));
    if (!Fecha || !FechaGuardable(*Fecha))
        return Fallo(QStringLiteral("Falta la fecha del albarán o no es válida. Escríbala y vuelva a guardar."));
    if (!m_cliente)
        return Fallo(QStringLiteral("Debe asignar un cliente al albarán antes de guardarlo."));
    if (!std::isfinite(Pagado) || !std::isfinite(DesctoPP))
        return Fallo(QStringLiteral("El importe pagado o el descuento por pronto pago no es un número. "
                                    "Corríjalo y vuelva a guardar."));
    if (!m_bd.Abierta())
        return Fallo(QStringLiteral("No hay ninguna base de datos abierta."));
    if (!m_facturado) {
        // Refused whole here rather than losing the line to the engine's length rule.
        for (size_t i = 0; i < m_lineas.size(); ++i)
            if (m_lineas[i]->Comentario().size() > kLargoComentario)
                return Fallo(QStringLiteral("El comentario de la línea %1 tiene %2 caracteres y caben %3. "
                                            "Acórtelo y vuelva a guardar.")
                                 .arg(i + 1)
                                 .arg(m_lineas[i]->Comentario().size())
                                 .arg(kLargoComentario));
    }
    try {
        return Guardar();
    } catch (const motor::Error& e) {
        // Whatever the transaction had written is rolled back by now.
        return Fallo(motor::TextoParaUsuario(e));
    }
}

bool Albaran::Guardar()
{
    // Every check of what other stations may have changed happens under this write lock.
    motor::BaseDeDatos::Transaccion transaccion(*m_bd.Motor());
    motor::Recordset cabecera;
    if (!m_numeroCargado) {
        m_bd.ConsultaCabzAlbaran(*Numero, cabecera);
        if (!cabecera.eof()) {
            if (Numero != m_numeroPropuesto)
                return Fallo(QStringLiteral("Ya hay un albarán con el número %1. Cambie el número y vuelva a guardar.").arg(*Numero));
            // Another station stored the number this note was given: the next free one, taken
            // under this lock, is ours until the commit.
            Numero = m_bd.NuevoNumeroAlbaran();
            m_numeroPropuesto = Numero;
            m_bd.ConsultaCabzAlbaran(*Numero, cabecera);
        }
        if (m_ticket && !m_bd.ReclamarTicket(*m_ticket, m_marcaTicket))
            return Fallo(QStringLiteral("Otro puesto ya ha hecho un albarán con el ticket %1. "
                                        "Este albarán no se ha guardado; actualice la lista de tickets.")
                             .arg(*m_ticket));
        cabecera.addNew();
    } else {
        if (!SinCambiosAjenos())
            return false;
        m_bd.ConsultaCabzAlbaran(*m_numeroCargado, cabecera);
        cabecera.edit();
    }
    EscribirCabecera(cabecera);

    motor::Recordset rs;
    m_bd.ConsultaDetaAlbaran(*Numero, rs);

    // Each line with its stock movement is a step of its own, so that a refused line is undone
    // alone and the others are still tried: the answer names every refused line. The note is
    // all or nothing: with any line refused the whole save is rolled back. A full disk, a lock
    // or a damaged file stops at once (nothing more can be written).
    std::vector<std::pair<qint64, QString>> rechazadas;  // line (0: one removed from the note), reason
    auto paso = [&](std::optional<size_t> indice, const std::function<void()>& accion) {
        motor::BaseDeDatos::Transaccion t(*m_bd.Motor());
        try {
            accion();
            t.commit();
        } catch (const motor::Error& e) {
            rs.cancelUpdate();
            if (!motor::EsRechazo(e))
                throw;
            rechazadas.emplace_back(indice ? static_cast<qint64>(*indice) + 1 : 0, motor::TextoParaUsuario(e));
        }
    };
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
            // Removed from the note: its stock goes back, whatever the movement answers.
            paso(std::nullopt, [&] {
                const qint32 canStock = CampoALargo(rs[QStringLiteral("CanStock")]);
                if (canStock != 0)
                    MoverStock(m_bd, CampoALargo(rs[QStringLiteral("Articulo")]), -static_cast<qint64>(canStock));
                rs.remove();
            });
            rs.moveNext();
        } else if (guardada > m_lineas[i]->Ordinal()) {
            nuevas.push_back(i++);
        } else {
            const LineaAlbaran& linea = *m_lineas[i];
            paso(i, [&] {
                rs.edit();
                const qint32 canStock = CampoALargo(rs[QStringLiteral("CanStock")]);
                const qint32 articulo = CampoALargo(rs[QStringLiteral("Articulo")]);
                if (canStock != 0 && articulo != linea.Codigo()) {
                    // Another article now: the old one gets its stock back first.
                    MoverStock(m_bd, articulo, -static_cast<qint64>(canStock));
                    rs.fijar(QStringLiteral("CanStock"), Valor(static_cast<qint64>(0)));
                }
                EscribirLinea(linea, rs);
                rs.update();
            });
            rs.moveNext();
            ++i;
        }
    }
    for (size_t n : nuevas) {
        paso(n, [&] {
            rs.addNew();
            rs.fijar(QStringLiteral("Numero"), Valor(static_cast<qint64>(*Numero)));
            rs.fijar(QStringLiteral("Linea"), Valor(++ultima));
            EscribirLinea(*m_lineas[n], rs);
            rs.update();
        });
    }
    if (!rechazadas.empty())
        return Fallo(TextoLineasRechazadas(rechazadas, m_lineas.size()));
    m_bd.ReordenarAlbaran(*Numero);
    const QByteArray huella = HuellaGuardada(*Numero);
    transaccion.commit();
    m_huella = huella;
    m_guardado = true;
    m_facturado = m_factura.has_value();
    return true;
}

bool Albaran::Delete()
{
    m_ultimoError.clear();
    // The note that was loaded, even when its number has been edited since.
    const std::optional<qint32> numero = m_numeroCargado ? m_numeroCargado : Numero;
    if (!numero)
        return Fallo(QStringLiteral("El albarán no tiene número."));
    if (m_facturado)
        return Fallo(QStringLiteral("El albarán %1 está facturado: borre antes la factura.").arg(*numero));
    try {
        if (!m_bd.EliminarAlbaran(*numero))
            return Fallo(QStringLiteral("El albarán %1 no se ha borrado: ya no está guardado o lo han facturado en otro puesto.")
                             .arg(*numero));
    } catch (const motor::Error& e) {
        return Fallo(motor::TextoParaUsuario(e));
    }
    return true;
}

bool Albaran::SetCliente(qint32 codigo)
{
    if (m_facturado)
        return false;
    Coleccion datos;
    if (!m_bd.ConsultaCliente(codigo, datos))
        return false;
    m_cliente = codigo;
    m_usaREq = datos.valor(QStringLiteral("UsaREq")).aBooleano();
    m_descuento = static_cast<float>(CampoANumero(datos.valor(QStringLiteral("Descuento"))));
    return true;
}

bool Albaran::SetFactura(qint16 serie, qint32 numero)
{
    if (numero < 1 || m_facturado)
        return false;
    m_serieFactura = serie;
    m_factura = numero;
    return true;
}

LineaAlbaran* Albaran::NuevaLinea()
{
    // Lines are addressed and stored with 16-bit numbers.
    if (m_facturado || m_lineas.size() >= static_cast<size_t>(std::numeric_limits<qint16>::max()))
        return nullptr;
    m_lineas.push_back(std::make_unique<LineaAlbaran>(m_bd));
    return m_lineas.back().get();
}

LineaAlbaran* Albaran::Linea(qint16 indice) const
{
    if (indice < 1 || indice > NumeroLineas())
        return nullptr;
    return m_lineas[static_cast<size_t>(indice - 1)].get();
}

bool Albaran::EliminarLinea(qint16 indice)
{
    if (m_facturado || indice < 1 || indice > NumeroLineas())
        return false;
    m_lineas.erase(m_lineas.begin() + (indice - 1));
    return true;
}

bool Albaran::Stock(bool devolver)
{
    std::vector<qint32> antes;
    antes.reserve(m_lineas.size());
    for (const auto& linea : m_lineas) {
        antes.push_back(linea->m_canStock);
        if (devolver)
            linea->DeshacerCanStock();
        else
            linea->IgualarCanStock();
    }
    if (Update())
        return true;
    // Nothing was stored: the lines say again what the database says.
    for (size_t i = 0; i < m_lineas.size(); ++i)
        m_lineas[i]->m_canStock = antes[i];
    return false;
}

bool Albaran::EstadoStock() const
{
    for (const auto& linea : m_lineas)
        if (linea->CanStock() != linea->CantidadGramos())
            return false;
    return true;
}

std::vector<FilaBase> Albaran::Totales() const
{
    // Departments that share a VAT but not a surcharge are rates apart, or the invoice made of
    // these rows would charge one department's surcharge on the other's goods.
    SumasIVA sumas;
    for (const auto& linea : m_lineas) {
        const qint16 d = linea->Departamento();
        const bool enTabla = d >= 1 && d <= 10;
        const auto depto = static_cast<size_t>(enTabla ? d : 0);
        sumas.Anadir({linea->CentimosDescontados(), enTabla ? Global::IVADepartamento[depto] : 0.0f,
                      enTabla && m_usaREq ? Global::RecargoEquivalencia[depto] : 0.0f, 0});
    }
    return sumas.Filas(m_usaREq);
}

double Albaran::ImporteBase() const
{
    return AEuros(CentimosBase());
}

qint64 Albaran::CentimosBase() const
{
    qint64 suma = 0;
    for (const auto& linea : m_lineas)
        suma += linea->CentimosDescontados();
    return suma;
}

double Albaran::ImporteDescuentos() const
{
    return AEuros(CentimosDescuentos(CentimosBase()));
}

double Albaran::ImporteDescuentos(double base) const
{
    return AEuros(CentimosDescuentos(Centimos(base)));
}

qint64 Albaran::CentimosDescuentos(qint64 base) const
{
    // Each discount on the base, each rounded to the cent, as the lists take them.
    return PorcentajeDe(base, m_descuento) + PorcentajeDe(base, DesctoPP);
}

double Albaran::ImporteEnvases() const
{
    return AEuros(CentimosEnvases());
}

qint64 Albaran::CentimosEnvases() const
{
    return SumaEnvases(m_lineas, [](const LineaAlbaran& l) { return l.Bultos; }, 0);
}

double Albaran::ImporteEnvasesDevueltos() const
{
    return AEuros(SumaEnvases(m_lineas, [](const LineaAlbaran& l) { return l.Bultos; }, -1));
}

double Albaran::ImporteEnvasesEntregados() const
{
    return AEuros(SumaEnvases(m_lineas, [](const LineaAlbaran& l) { return l.Bultos; }, 1));
}

bool Albaran::prn_SaltoPagina() const
{
    return m_posicionImpresion >= NumeroLineas();
}

bool Albaran::Imprimir(MotorMascaras& motor, const QString& carpetaMascaras)
{
    // Each note its own job: a PDF printer names its file after it instead of overwriting one.
    motor.TituloTrabajo(QStringLiteral("Albarán %1").arg(Numero ? NumeroConCeros(*Numero, 6) : QString()));
    if (!motor.CargaMascaras(UnirRuta(carpetaMascaras, QStringLiteral("mskAlba.txt"))))
        return false;
    ImpresionDocumento impresion(motor, CabeceraImpresion(m_bd, m_cliente, {
        {QStringLiteral("@NUMERO"), Numero ? LargoATexto(*Numero) : QString()},
        {QStringLiteral("@FECHA"), Fecha ? Formato(Valor(*Fecha), QStringLiteral("dd/mm/yyyy")) : QString()},
    }));
    impresion.Cabecera();

    const QStringList marcasLinea = {
        QStringLiteral("@BULTOS"), QStringLiteral("@ENVASE"), QStringLiteral("@CODIGO"), QStringLiteral("@DESCRIPCION"),
        QStringLiteral("@PRECIO"), QStringLiteral("@UNIDAD"), QStringLiteral("@CANTIDAD"), QStringLiteral("@IMPORTE"),
        QStringLiteral("@PCTDESCUENTO"), QStringLiteral("@IMPDESCUENTO"), QStringLiteral("@IMPDESCONTADO"),
        QStringLiteral("@IMPENVASE"), QStringLiteral("@IMPNETO")};
    // An int: at 32,767 lines a 16-bit counter wraps and never ends.
    for (int i = 1; i <= NumeroLineas(); ++i) {
        m_posicionImpresion = static_cast<qint16>(i);
        const LineaAlbaran& l = *Linea(static_cast<qint16>(i));
        QString unidad;
        if (l.Codigo() != 0)
            unidad = l.Cada() == 0 ? QStringLiteral("/k") : l.Cada() == 1 ? QStringLiteral("/g") : QStringLiteral("/u");
        impresion.Imprimir(1, {
            {l.Bultos, kFormatoUnidades},
            {l.Envase(), kFormatoMoneda},
            {Formato(static_cast<double>(l.Codigo()), QStringLiteral("0000000;;#"))},
            {TextoDeUnaLinea(l.Descripcion())},
            {l.Precio(), kFormatoMoneda},
            {unidad},
            {l.Cantidad(), l.Cada() == 2 ? kFormatoUnidades : kFormatoKilos},
            {l.Importe(), kFormatoMoneda},
            {static_cast<double>(l.Descuento()), kFormatoPorcentaje},
            {l.ImporteDescuento(), kFormatoMoneda},
            {l.ImporteDescontado(), kFormatoMoneda},
            {l.ImporteEnvase(), kFormatoMoneda},
            {l.ImporteDescontado() - l.ImporteEnvase(), kFormatoMoneda},
        }, marcasLinea);
        if (!l.Comentario().isEmpty())
            impresion.ImprimirComentario(1, marcasLinea, QStringLiteral("@DESCRIPCION"), l.Comentario());
    }

    const double base = ImporteBase();
    const double descuentos = ImporteDescuentos();
    const double envases = ImporteEnvases();
    impresion.Imprimir(2, {
        {base, kFormatoMoneda},
        {descuentos, kFormatoMoneda},
        {envases, kFormatoMoneda},
        {ImporteEnvasesDevueltos(), kFormatoMoneda},
        {ImporteEnvasesEntregados(), kFormatoMoneda},
        {envases + base - descuentos, kFormatoMoneda},
    }, {QStringLiteral("@IMPORTE"), QStringLiteral("@DESCUENTOS"), QStringLiteral("@ENVASES"), QStringLiteral("@ENV_DEV"),
        QStringLiteral("@ENV_ENT"), QStringLiteral("@TOTAL")});
    motor.Cerrar();
    m_posicionImpresion = 0;
    return true;
}
