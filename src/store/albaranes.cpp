// Delivery-note store: numbering, the list with its filters, reading, deleting, reordering.

#include "basedatos.h"
#include "consultas.h"
#include "dinero.h"
#include "global.h"
#include "ordennombres.h"
#include "traductor.h"
#include "utilidades.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::optional<qint32> BaseDatos::CodigoPorNombre(const QString& nombre)
{
    // Same name with no regard to case, Ñ and accented letters included, found on the names' key.
    motor::BaseDeDatos::Sentencia& s = m_bd->preparar(
        QStringLiteral("SELECT Codigo, Nombre FROM Cliente WHERE %1 = ?1 ORDER BY %1, Nombre, Codigo")
            .arg(ordennombres::ExpresionClave(QStringLiteral("Nombre"), m_bd->esPostgreSQL())));
    s.vincular({ordennombres::Clave(nombre, m_bd->esPostgreSQL())});
    std::optional<qint32> codigo;
    while (!codigo && s.paso())
        if (ordennombres::MismoNombre(CampoATexto(s.columna(1)), nombre))
            codigo = CampoALargo(s.columna(0));
    s.reiniciar();
    return codigo;
}

namespace {

QString ListaNumeros(const std::vector<qint32>& numeros, size_t desde, size_t hasta)
{
    QStringList lista;
    for (size_t i = desde; i < std::min(hasta, numeros.size()); ++i)
        lista << QString::number(numeros[i]);
    return lista.join(QLatin1Char(','));
}

}  // namespace

qint32 BaseDatos::NuevoNumeroAlbaran()
{
    if (!Abierta())
        return 0;
    return Siguiente(m_bd->valorUnico(NombresLargos(QStringLiteral("select max(Numero) from TbCabzAlb"))),
                     QStringLiteral("números de albarán"));
}

qint32 BaseDatos::Siguiente(const Valor& ultimo, const QString& que)
{
    const qint64 siguiente = (ultimo.esNulo() ? 0 : ultimo.aEntero()) + 1;
    if (siguiente > std::numeric_limits<qint32>::max())
        throw motor::Error(motor::ErrReglaValidacion, 0,
                           QStringLiteral("No quedan %1: el último que se puede guardar es el 2147483647. "
                                          "Escriba a mano un número libre más bajo.").arg(que));
    return static_cast<qint32>(std::max<qint64>(siguiente, 1));
}

bool BaseDatos::EnlazarAlbaranPendiente(qint32 numero, qint16 serie, qint32 factura)
{
    if (!Abierta())
        return false;
    return m_bd->ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET sFac=?, Factura=? WHERE Numero=? AND Factura IS NULL "
                                               "AND coalesce(Pagado, 0)=0"),
                                {Valor(static_cast<qint64>(serie)), Valor(static_cast<qint64>(factura)), Valor(static_cast<qint64>(numero))})
        == 1;
}

std::optional<qint32> BaseDatos::EnlazarAlbaranesPendientes(const std::vector<qint32>& numeros, qint16 serie, qint32 factura)
{
    if (!Abierta())
        return numeros.empty() ? std::nullopt : std::optional<qint32>(numeros.front());
    // The numbers as literals, as DepartamentosConRecargo writes them: one trip to the server
    // per few hundred notes, and nothing prepared that is never used again.
    constexpr size_t kPorSentencia = 500;
    for (size_t desde = 0; desde < numeros.size(); desde += kPorSentencia) {
        const size_t hasta = std::min(numeros.size(), desde + kPorSentencia);
        const QString en = ListaNumeros(numeros, desde, hasta);
        const long enlazados = m_bd->ejecutarNativo(
            QStringLiteral("UPDATE AlbaranVentaCabecera SET sFac=%1, Factura=%2 WHERE Numero IN (%3) AND Factura IS NULL "
                           "AND coalesce(Pagado, 0)=0")
                .arg(serie)
                .arg(factura)
                .arg(en));
        std::vector<qint32> distintos(numeros.begin() + static_cast<std::ptrdiff_t>(desde),
                                      numeros.begin() + static_cast<std::ptrdiff_t>(hasta));
        std::sort(distintos.begin(), distintos.end());
        if (enlazados == std::unique(distintos.begin(), distintos.end()) - distintos.begin())
            continue;
        // Some note was billed, paid or deleted in between: the first one that is not now
        // on this invoice is named.
        std::vector<qint32> hechos;
        motor::Recordset rs = m_bd->abrirRecordset(
            QStringLiteral("SELECT Numero FROM AlbaranVentaCabecera WHERE Numero IN (%1) AND sFac=%2 AND Factura=%3")
                .arg(en)
                .arg(serie)
                .arg(factura));
        for (; !rs.eof(); rs.moveNext())
            hechos.push_back(CampoALargo(rs.campo(0)));
        for (size_t i = desde; i < hasta; ++i)
            if (std::find(hechos.begin(), hechos.end(), numeros[i]) == hechos.end())
                return numeros[i];
        return numeros[desde];
    }
    return std::nullopt;
}

namespace {

// The note list's filters, one bit each, in the order their values are bound.
enum : quint32 {
    kNumero = 1,
    kCliente = 2,
    kDesde = 4,
    kHasta = 8,
    kFactura = 16,
    kFacturada = 32,
    kSinFactura = 64,
    kDespuesDe = 128,  // a page starts after a number
    kLimite = 256,     // a page's size
};

}  // namespace

// A date as the text a literal would have held ("yyyy-mm-dd"): the same comparison on both
// engines. Written by hand: formatting through QDate costs more than the rest of a one-row call.
QString BaseDatos::TextoFechaSQL(const QDate& fecha)
{
    int a = 0, m = 0, d = 0;
    fecha.getDate(&a, &m, &d);
    if (a < 1 || a > 9999)
        return fecha.toString(Qt::ISODate);
    const char16_t texto[] = {char16_t(u'0' + a / 1000),    char16_t(u'0' + a / 100 % 10), char16_t(u'0' + a / 10 % 10),
                              char16_t(u'0' + a % 10),      u'-',
                              char16_t(u'0' + m / 10),      char16_t(u'0' + m % 10),       u'-',
                              char16_t(u'0' + d / 10),      char16_t(u'0' + d % 10)};
    return QString(reinterpret_cast<const QChar*>(texto), 10);
}

std::optional<BaseDatos::CondicionesLista> BaseDatos::CondicionesAlbaranes(const Filtro& numero, const Filtro& cliente,
                                                                          const Filtro& desde, const Filtro& hasta, const Filtro& factura)
{
    CondicionesLista c;
    auto poner = [&c](quint32 bit, Valor valor) {
        c.forma |= bit;
        c.valores.push_back(std::move(valor));
    };
    if (std::holds_alternative<qint16>(numero))
        poner(kNumero, Valor(static_cast<qint64>(std::get<qint16>(numero))));
    else if (std::holds_alternative<qint32>(numero))
        poner(kNumero, Valor(static_cast<qint64>(std::get<qint32>(numero))));
    if (std::holds_alternative<qint32>(cliente)) {
        poner(kCliente, Valor(static_cast<qint64>(std::get<qint32>(cliente))));
    } else if (std::holds_alternative<QString>(cliente)) {
        const std::optional<qint32> codigo = CodigoPorNombre(std::get<QString>(cliente));
        if (!codigo)
            return std::nullopt;
        poner(kCliente, Valor(static_cast<qint64>(*codigo)));
    }
    if (std::holds_alternative<QDate>(desde) && std::get<QDate>(desde).isValid())
        poner(kDesde, Valor(TextoFechaSQL(std::get<QDate>(desde))));
    if (std::holds_alternative<QDate>(hasta) && std::get<QDate>(hasta).isValid())
        poner(kHasta, Valor(TextoFechaSQL(std::get<QDate>(hasta))));
    if (std::holds_alternative<qint32>(factura))
        poner(kFactura, Valor(static_cast<qint64>(std::get<qint32>(factura))));
    else if (std::holds_alternative<bool>(factura))
        c.forma |= std::get<bool>(factura) ? kFacturada : kSinFactura;
    return c;
}

QString BaseDatos::TextoCondicionesAlbaranes(quint32 forma)
{
    // Conditions on the header, placed before the grouping: same rows as filtering the saved
    // query, at the cost of the notes asked for only.
    QString condiciones;
    const QString y = QStringLiteral(" and ");
    if (forma & kNumero)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzAlb.Numero=?)"));
    if (forma & kCliente)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzAlb.Cliente=?)"));
    if (forma & kDesde)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzAlb.Fecha>=?)"));
    if (forma & kHasta)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzAlb.Fecha<=?)"));
    if (forma & kFactura)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzAlb.Factura=?)"));
    else if (forma & kFacturada)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzAlb.Factura>0)"));
    else if (forma & kSinFactura)
        AnadirALista(condiciones, y, QStringLiteral("(isnull(TbCabzAlb.Factura) or (TbCabzAlb.Factura=0))"));
    if (forma & kDespuesDe)
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzAlb.Numero>?)"));
    return condiciones;
}

std::vector<FilaAlbaran> BaseDatos::ListaAlbaranes(const Filtro& numero, const Filtro& cliente, const Filtro& desde,
                                                   const Filtro& hasta, const Filtro& factura)
{
    if (!Abierta())
        return {};
    std::optional<CondicionesLista> condiciones = CondicionesAlbaranes(numero, cliente, desde, hasta, factura);
    return condiciones ? LeerAlbaranes(std::move(*condiciones), std::nullopt, 0) : std::vector<FilaAlbaran>{};
}

std::vector<FilaAlbaran> BaseDatos::PaginaAlbaranes(const Filtro& cliente, const Filtro& desde, const Filtro& hasta,
                                                    std::optional<qint32> despuesDe, int limite)
{
    if (!Abierta())
        return {};
    std::optional<CondicionesLista> condiciones = CondicionesAlbaranes({}, cliente, desde, hasta, {});
    return condiciones ? LeerAlbaranes(std::move(*condiciones), despuesDe, std::max(limite, 1)) : std::vector<FilaAlbaran>{};
}

qint64 BaseDatos::CuentaAlbaranes(const Filtro& cliente, const Filtro& desde, const Filtro& hasta)
{
    if (!Abierta())
        return 0;
    const std::optional<CondicionesLista> condiciones = CondicionesAlbaranes({}, cliente, desde, hasta, {});
    if (!condiciones)
        return 0;
    const QString donde = TextoCondicionesAlbaranes(condiciones->forma);
    motor::BaseDeDatos::Sentencia& s = SentenciaDeLista(QStringLiteral("select count(*) from TbCabzAlb")
                                                        + (donde.isEmpty() ? QString() : QStringLiteral(" where ") + donde));
    s.vincular(condiciones->valores);
    const qint64 n = s.paso() ? s.columna(0).aEntero() : 0;
    s.reiniciar();
    return n;
}

std::vector<FilaAlbaran> BaseDatos::LeerAlbaranes(CondicionesLista condiciones, std::optional<qint32> despuesDe, int limite)
{
    std::vector<FilaAlbaran> filas;
    // Grouped by the note's number alone (the other columns are the note's own, or its
    // customer's), so that the notes are read in their key's order and the first rows come
    // without sorting every note first; a page starts after the last number it was given.
    // Every value is bound, so that every call of one shape runs the same prepared statement.
    std::vector<Valor>& parametros = condiciones.valores;
    // PostgreSQL carries a bound across a join only when it is an equality: without the page's
    // bound on the lines too, each page would walk the lines from the first note's on.
    const bool despuesDeEnLineas = despuesDe && m_bd->esPostgreSQL();
    if (despuesDe) {
        condiciones.forma |= kDespuesDe;
        parametros.emplace_back(static_cast<qint64>(*despuesDe));
        if (despuesDeEnLineas)
            parametros.insert(parametros.begin(), Valor(static_cast<qint64>(*despuesDe)));
    }
    if (limite > 0) {
        condiciones.forma |= kLimite;
        parametros.emplace_back(static_cast<qint64>(limite));
    }
    auto sql = m_sqlAlbaranes.find(condiciones.forma);
    if (sql == m_sqlAlbaranes.end()) {
        const QString donde = TextoCondicionesAlbaranes(condiciones.forma);
        QString texto = consultas::ListaAlbaranesSelectTienda;
        if (despuesDeEnLineas)
            texto.replace(QStringLiteral("on TbDetaAlb.Numero=TbCabzAlb.Numero "),
                          QStringLiteral("on TbDetaAlb.Numero=TbCabzAlb.Numero and TbDetaAlb.Numero>? "));
        if (!donde.isEmpty())
            texto += QStringLiteral(" where ") + donde;
        // PostgreSQL wants every column that is not a sum grouped too.
        texto += (m_bd->esPostgreSQL() ? consultas::ListaAlbaranesGroupTienda
                          + QStringLiteral(", Fecha, Cliente, Nombre, Factura, Pagado, TbCliente.Descuento, DesctoPP, TbCabzAlb.sFac ")
                                       : consultas::ListaAlbaranesGroupTienda)
            + QStringLiteral(" order by Numero ");
        if (condiciones.forma & kLimite)
            texto += QStringLiteral(" limit ?");
        sql = m_sqlAlbaranes.emplace(condiciones.forma, TraducirSQL(NombresLargos(texto), m_bd->esPostgreSQL()).toStdString()).first;
    }
    motor::BaseDeDatos::Sentencia& s = m_bd->preparar(sql->second);
    s.vincular(parametros);
    static const char* const kColumnas[] = {"Numero",   "Fecha",           "Cliente",   "nombre",   "nLin",    "Importe", "DescuentoFactura",
                                            "DesctoPPFactura", "Descuento", "DesctoPP", "Factura", "Stock",   "Pagado"};
    if (m_columnasAlbaranes.empty()) {
        for (const char* nombre : kColumnas) {
            int i = 0;
            while (i < s.columnas() && s.nombreColumna(i).compare(QLatin1String(nombre), Qt::CaseInsensitive) != 0)
                ++i;
            if (i == s.columnas()) {
                m_columnasAlbaranes.clear();
                throw motor::Error(motor::ErrGeneral, 0,
                                   QStringLiteral("Falta la columna %1 en la lista de albaranes.").arg(QLatin1String(nombre)));
            }
            m_columnasAlbaranes.push_back(i);
        }
    }
    const std::vector<int>& c = m_columnasAlbaranes;
    const int cNumero = c[0], cFecha = c[1], cCliente = c[2], cNombre = c[3], cLineas = c[4], cImporte = c[5], cDescFactura = c[6],
              cPPFactura = c[7], cDescuento = c[8], cPP = c[9], cFactura = c[10], cStock = c[11], cPagado = c[12];
    if (limite > 0)
        filas.reserve(static_cast<size_t>(limite));
    while (s.paso()) {
        const qint64 importe = s.columna(cImporte).aEntero();
        FilaAlbaran f;
        f.Numero = CampoALargo(s.columna(cNumero));
        f.Fecha = s.columna(cFecha);
        f.Cliente = s.columna(cCliente);
        f.nombre = s.columna(cNombre);
        f.nLin = CampoALargo(s.columna(cLineas));
        // Both discounts on the note's base, each rounded to the cent, as the note takes them.
        const bool deFactura = !s.columna(cDescFactura).esNulo();
        const Valor descuento = s.columna(deFactura ? cDescFactura : cDescuento);
        const Valor desctoPP = s.columna(deFactura ? cPPFactura : cPP);
        f.Importe = importe - PorcentajeDe(importe, static_cast<float>(CampoANumero(descuento)))
            - PorcentajeDe(importe, static_cast<float>(CampoANumero(desctoPP)));
        f.Factura = s.columna(cFactura);
        // A note without lines has nothing to discount: the join's empty line is not stock pending.
        f.Stock = f.nLin == 0 ? 0 : CampoALargo(s.columna(cStock));
        f.Pagado = s.columna(cPagado);
        AnadirAVector(filas, std::move(f));
    }
    s.reiniciar();
    return filas;
}

motor::BaseDeDatos::Sentencia& BaseDatos::SentenciaDeLista(const QString& sql)
{
    auto traducida = m_listasTraducidas.constFind(sql);
    if (traducida == m_listasTraducidas.constEnd()) {
        // Lists with dates in their text come in many versions: keep the last few hundred.
        if (m_listasTraducidas.size() > 200)
            m_listasTraducidas.clear();
        traducida = m_listasTraducidas.insert(sql, TraducirSQL(NombresLargos(sql), m_bd->esPostgreSQL()).toStdString());
    }
    return m_bd->preparar(*traducida);
}

bool BaseDatos::ConsultaCabzAlbaran(qint32 numero, motor::Recordset& rs)
{
    if (!Abierta())
        return false;
    // The number is bound: one prepared statement serves every note.
    rs = m_bd->abrirRecordset(NombresLargos(QStringLiteral("select * from TbCabzAlb where Numero=?")), {Valor(static_cast<qint64>(numero))});
    return true;
}

bool BaseDatos::ConsultaDetaAlbaran(qint32 numero, motor::Recordset& rs)
{
    if (!Abierta())
        return false;
    rs = m_bd->abrirRecordset(NombresLargos(QStringLiteral("select * from TbDetaAlb where Numero=? order by Linea")),
                              {Valor(static_cast<qint64>(numero))});
    return true;
}

bool BaseDatos::ConsultaAlbaranes(const std::vector<qint32>& numeros, motor::Recordset& cabeceras, motor::Recordset& lineas)
{
    if (!Abierta())
        return false;
    const QString en = numeros.empty() ? QStringLiteral("NULL") : ListaNumeros(numeros, 0, numeros.size());
    cabeceras = m_bd->abrirRecordset(NombresLargos(QStringLiteral("select * from TbCabzAlb where Numero in (%1) order by Numero")).arg(en));
    lineas = m_bd->abrirRecordset(
        NombresLargos(QStringLiteral("select * from TbDetaAlb where Numero in (%1) order by Numero, Linea")).arg(en));
    return true;
}

std::optional<QByteArray> BaseDatos::VersionAlbaranes(const std::vector<qint32>& numeros)
{
    if (!Abierta() || !m_bd->esPostgreSQL())
        return std::nullopt;
    // An update writes a new row version (another place, another transaction), a delete
    // leaves a row out, an insert adds one: the count and two independent sums of hashes of
    // the versions tell any write apart, in any order, with no sorting. Worked out on the
    // server, so a big invoice's notes cost a few short answers.
    QByteArray version;
    constexpr size_t kPorSentencia = 2000;
    for (size_t desde = 0; desde < numeros.size(); desde += kPorSentencia) {
        const QString en = ListaNumeros(numeros, desde, desde + kPorSentencia);
        motor::BaseDeDatos::Sentencia& s = m_bd->preparar(
            QStringLiteral("SELECT count(*), sum(hashtext(v)::bigint), sum(hashtext(reverse(v))::bigint) FROM (SELECT 'c' || "
                           "xmin::text || ctid::text AS v FROM AlbaranVentaCabecera WHERE Numero IN (%1) UNION ALL SELECT 'd' || "
                           "xmin::text || ctid::text FROM AlbaranVentaDetalle WHERE Numero IN (%1)) AS x")
                .arg(en));
        if (s.paso())
            version += s.columna(0).aTexto().toLatin1() + ',' + s.columna(1).aTexto().toLatin1() + ','
                + s.columna(2).aTexto().toLatin1() + ';';
        s.reiniciar();
    }
    return version;
}

bool BaseDatos::EliminarAlbaran(qint32 numero)
{
    if (!Abierta())
        return false;
    return m_bd->ejecutar(NombresLargos(QStringLiteral("delete from TbCabzAlb where (Numero=")) + LargoATexto(numero)
                          + QStringLiteral(") and isnull(Factura) "))
        > 0;
}

void BaseDatos::ReordenarAlbaran(qint32 numero)
{
    if (!Abierta())
        return;
    motor::BaseDeDatos::Transaccion t(*m_bd);
    // Moved out of the way to negative numbers, which no stored line uses, so that renumbering
    // never collides with an existing key whatever the note's size (an offset of 10000 did
    // from 10,001 lines on, and went past the field's range from 22,768).
    QString apartar = NombresLargos(QStringLiteral("update TbDetaAlb set Linea=-linea where (TbDetaAlb.Numero= @N) "));
    Reemplazar(QStringLiteral("@N"), QStringLiteral("?"), apartar);
    m_bd->ejecutar(apartar, {Valor(static_cast<qint64>(numero))});
    // Descending negatives are the lines in their old order, so ties keep it.
    QString leer = NombresLargos(QStringLiteral("select * from TbDetaAlb where (TbDetaAlb.Numero= @N) order by Linea desc "));
    Reemplazar(QStringLiteral("@N"), QStringLiteral("?"), leer);
    motor::Recordset rs = m_bd->abrirRecordset(leer, {Valor(static_cast<qint64>(numero))});
    if (rs.eof())
        return;  // nothing moved: the transaction rolls the no-op back
    motor::Recordset articulos = m_bd->abrirRecordset(QStringLiteral("PLUSES"));
    articulos.setIndex(QStringLiteral("PrimaryKey"));
    struct Elemento {
        Coleccion campos;
        QString clave;
    };
    std::vector<Elemento> lista;
    for (; !rs.eof(); rs.moveNext()) {
        Elemento e;
        for (int i = 0; i < rs.numCampos(); ++i)
            e.campos.fijar(rs.nombreCampo(i), rs.campo(i));
        articulos.seek(QStringLiteral("="), {Valor(static_cast<qint64>(Global::Seccion)), rs[QStringLiteral("Articulo")]});
        e.clave = articulos.noMatch() ? QString() : CampoATexto(articulos[QStringLiteral("NOMPLU")]);
        lista.push_back(std::move(e));
    }
    // Ties keep their order; a stable sort stays fast on the longest notes.
    std::vector<Elemento> ordenada = std::move(lista);
    std::stable_sort(ordenada.begin(), ordenada.end(), [](const Elemento& a, const Elemento& b) { return a.clave < b.clave; });
    rs.moveFirst();
    for (size_t i = 0; i < ordenada.size() && !rs.eof(); ++i, rs.moveNext()) {
        rs.edit();
        for (const auto& [campo, valor] : ordenada[i].campos.elementos())
            if (campo.compare(QLatin1String("Linea"), Qt::CaseInsensitive) != 0)
                rs.fijar(campo, valor);
        rs.fijar(QStringLiteral("Linea"), Valor(static_cast<qint64>(i + 1)));
        rs.update();
    }
    t.commit();
}

void BaseDatos::CambioFacturaEnAlbaran(qint16 serie, qint32 vieja, qint32 nueva)
{
    if (!Abierta())
        return;
    QString sql = NombresLargos(QStringLiteral("update TbCabzAlb set Factura=@NVA where (sFac=@SER) and (Factura=@VJA) "));
    Reemplazar(QStringLiteral("@SER"), EnteroATexto(serie), sql);
    Reemplazar(QStringLiteral("@NVA"), LargoATexto(nueva), sql);
    Reemplazar(QStringLiteral("@VJA"), LargoATexto(vieja), sql);
    m_bd->ejecutar(sql);
}

void BaseDatos::CambioSerieFacturaEnAlbaran(qint16 serieVieja, qint32 vieja, qint16 serieNueva, qint32 nueva)
{
    if (!Abierta())
        return;
    m_bd->ejecutar(NombresLargos(QStringLiteral("update TbCabzAlb set sFac=")) + EnteroATexto(serieNueva) + QStringLiteral(", Factura=")
                   + LargoATexto(nueva) + QStringLiteral(" where (sFac=") + EnteroATexto(serieVieja) + QStringLiteral(") and (Factura=")
                   + LargoATexto(vieja) + QStringLiteral(") "));
}

qint32 BaseDatos::ContarAlbaranesPendientes(std::optional<qint32> cliente, bool sinTickets)
{
    if (!Abierta())
        return 0;
    QString sql = QStringLiteral("SELECT count(*) FROM AlbaranVentaCabecera WHERE coalesce(Factura, 0)=0");
    if (cliente)
        sql += QStringLiteral(" AND Cliente=") + LargoATexto(*cliente);
    if (sinTickets)
        sql += QStringLiteral(" AND coalesce(onLine, 0)=0");
    motor::BaseDeDatos::Sentencia& s = m_bd->preparar(sql);
    s.vincular({});
    const qint32 n = s.paso() ? static_cast<qint32>(s.columna(0).aEntero()) : 0;
    s.reiniciar();
    return n;
}

void BaseDatos::RecordarParaLote(const std::vector<qint32>& notas)
{
    m_articulos = Articulos{Global::Seccion, ColumnaPrecio(), {}};
    m_clientesLote.emplace();
    if (!Abierta())
        return;
    constexpr size_t kPorSentencia = 500;
    for (size_t desde = 0; desde < notas.size(); desde += kPorSentencia) {
        motor::Recordset rs = m_bd->abrirRecordset(
            QStringLiteral("select CODPLU, NOMPLU, CADA, %1 as precio, DEPTO from PLUSES where (SECCION=?) and CODPLU in "
                           "(select Articulo from AlbaranVentaDetalle where Numero in (%2))")
                .arg(m_articulos->columnaPrecio, ListaNumeros(notas, desde, desde + kPorSentencia)),
            {Valor(static_cast<qint64>(Global::Seccion))});
        for (; !rs.eof(); rs.moveNext()) {
            ArticuloRecordado a{CampoATexto(rs[QStringLiteral("NOMPLU")]), CampoAEntero(rs[QStringLiteral("DEPTO")]),
                                CampoAEntero(rs[QStringLiteral("Cada")]), CampoALargo(rs[QStringLiteral("precio")])};
            // An article without a name reads as not found, as DatosArticulo says it: asked again.
            if (!a.nombre.isEmpty())
                m_articulos->porCodigo.emplace(CampoALargo(rs[QStringLiteral("CODPLU")]), std::move(a));
        }
    }
}

void BaseDatos::OlvidarLote()
{
    m_articulos.reset();
    m_clientesLote.reset();
}

std::vector<qint16> BaseDatos::DepartamentosConRecargo(const std::vector<qint32>& notas)
{
    std::vector<qint16> departamentos;
    if (!Abierta())
        return departamentos;
    // A few hundred numbers a statement, as literals: a year's selection stays within the engine's limits.
    for (size_t desde = 0; desde < notas.size(); desde += 500) {
        QStringList numeros;
        for (size_t i = desde; i < std::min(notas.size(), desde + 500); ++i)
            numeros << QString::number(notas[i]);
        motor::Recordset rs = m_bd->abrirRecordset(
            QStringLiteral("SELECT DISTINCT d.Departamento FROM AlbaranVentaDetalle d JOIN AlbaranVentaCabecera c ON c.Numero=d.Numero "
                           "JOIN Cliente k ON k.Codigo=c.Cliente WHERE coalesce(k.UsaREq, 0)<>0 AND d.Numero IN (%1)")
                .arg(numeros.join(QLatin1Char(','))));
        for (; !rs.eof(); rs.moveNext()) {
            const qint16 d = CampoAEntero(rs.campo(0));
            if (std::find(departamentos.begin(), departamentos.end(), d) == departamentos.end())
                departamentos.push_back(d);
        }
    }
    std::sort(departamentos.begin(), departamentos.end());
    return departamentos;
}
