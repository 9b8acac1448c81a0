// Scale tickets: the closed-ticket list, the lines a ticket leaves after its voids, marking and
// purging. The scale line owns Transacs; the program reads it, raises tagID and deletes rows.

#include "basedatos.h"
#include "utilidades.h"

#include <algorithm>
#include <limits>

namespace {

// The list's row of a ticket, from its code-15 row.
FilaTicket LeerTicket(motor::Recordset& rs)
{
    FilaTicket t;
    t.docID = CampoALargo(rs[QStringLiteral("docID")]);
    t.TagID = rs[QStringLiteral("TagID")];
    t.numTK = rs[QStringLiteral("numTK")];
    t.balan = rs[QStringLiteral("balan")];
    t.Opera = rs[QStringLiteral("Opera")];
    t.Fecha = rs[QStringLiteral("Fecha")];
    t.impor = CampoANumero(rs[QStringLiteral("impor")]);
    return t;
}

}  // namespace

std::vector<FilaTicket> BaseDatos::ListaTicketsCerrados(const Filtro& desde)
{
    std::vector<FilaTicket> tickets;
    if (!Abierta())
        return tickets;
    QString sql = QStringLiteral("select ") + QStringLiteral("docID, tagID, numTK, balan, opera, fecha, tipoT, impor ")
        + QStringLiteral("from ") + QStringLiteral("Transacs ") + QStringLiteral("where ")
        + QStringLiteral("((tipoT=@T) or (tipoT=@R)) ");
    if (std::holds_alternative<QDate>(desde) && std::get<QDate>(desde).isValid())
        sql += QStringLiteral("and (fecha>= ") + FechaASQL(std::get<QDate>(desde)) + QStringLiteral(") ");
    sql += QStringLiteral("order by docID ");
    Reemplazar(QStringLiteral("@T"), LargoATexto(15), sql);
    Reemplazar(QStringLiteral("@R"), LargoATexto(16), sql);

    std::vector<qint32> anulados;
    motor::Recordset rs = m_bd->abrirRecordset(sql);
    for (; !rs.eof(); rs.moveNext()) {
        if (CampoAEntero(rs[QStringLiteral("tipoT")]) == 15) {
            AnadirAVector(tickets, LeerTicket(rs));
        } else {
            AnadirAVector(anulados, CampoALargo(rs[QStringLiteral("docID")]));
        }
    }
    if (anulados.empty() || tickets.empty())
        return tickets;
    // Both lists ascend by docID: a ticket with a cancellation row is dropped.
    std::vector<FilaTicket> cerrados;
    size_t i = 0, j = 0;
    while (i < tickets.size() && j < anulados.size()) {
        if (tickets[i].docID < anulados[j])
            cerrados.push_back(std::move(tickets[i++]));
        else if (tickets[i].docID > anulados[j])
            ++j;
        else {
            ++i;
            ++j;
        }
    }
    while (i < tickets.size())
        cerrados.push_back(std::move(tickets[i++]));
    return cerrados;
}

namespace {

// Below this many tickets on or after the date, the list is read whole on its date index.
constexpr int kPocosTickets = 2000;

std::optional<QDate> FechaDesde(const Filtro& desde)
{
    if (std::holds_alternative<QDate>(desde) && std::get<QDate>(desde).isValid())
        return std::get<QDate>(desde);
    return std::nullopt;
}

// Ticket rows by number on the (tipoT, docID) index, newest first; a ticket with a cancellation
// row is left out, as the whole list leaves it. `condicion` bounds docID with the parameters.
std::vector<FilaTicket> LeerCerrados(motor::BaseDeDatos& bd, const Filtro& desde, const QString& condicion,
                                     const std::vector<Valor>& parametros, const QString& limite = {})
{
    const std::optional<QDate> fecha = FechaDesde(desde);
    // SQLite would take the date index for a date and sort every ticket since then: the unary
    // plus keeps the date a plain test on the rows read in number order.
    const QString porFecha = fecha ? QStringLiteral(" AND %1fecha>=%2").arg(bd.esPostgreSQL() ? QString() : QStringLiteral("+"),
                                                                           FechaASQL(*fecha))
                                   : QString();
    const QString anulacion = fecha ? QStringLiteral(" AND a.fecha>=") + FechaASQL(*fecha) : QString();
    const QString sql = QStringLiteral("SELECT docID, tagID, numTK, balan, opera, fecha, impor FROM Transacs t WHERE tipoT=15 AND ")
        + condicion + porFecha
        + QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM Transacs a WHERE a.docID=t.docID AND a.tipoT=16") + anulacion
        + QStringLiteral(") ORDER BY docID DESC") + limite;
    std::vector<FilaTicket> tickets;
    motor::Recordset rs = bd.abrirRecordset(sql, parametros);
    for (; !rs.eof(); rs.moveNext())
        AnadirAVector(tickets, LeerTicket(rs));
    return tickets;
}

Valor Entero(qint64 n) { return Valor(n); }

}  // namespace

PaginaLista<FilaTicket, qint32> BaseDatos::PaginaTicketsCerrados(const Filtro& desde, std::optional<qint32> antesDe, int limite)
{
    PaginaLista<FilaTicket, qint32> pagina;
    if (!Abierta())
        return pagina;
    limite = std::max(limite, 1);
    if (!antesDe) {
        if (const std::optional<QDate> fecha = FechaDesde(desde)) {
            // A day or a few: their tickets are found on the date faster than by number, where
            // the newest hundreds may all be older.
            const qint64 desdeFecha = m_bd->valorUnico(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM Transacs WHERE tipoT=15 AND fecha>=")
                                                       + FechaASQL(*fecha) + QStringLiteral(" LIMIT ")
                                                       + QString::number(kPocosTickets) + QStringLiteral(") AS p"))
                                          .aEntero();
            if (desdeFecha < kPocosTickets) {
                pagina.filas = ListaTicketsCerrados(desde);
                std::reverse(pagina.filas.begin(), pagina.filas.end());
                return pagina;
            }
        }
    }
    std::vector<Valor> parametros;
    QString condicion = QStringLiteral("docID<?");
    parametros.push_back(Entero(antesDe ? *antesDe : std::numeric_limits<qint32>::max()));
    if (!antesDe)
        condicion = QStringLiteral("docID<=?");
    parametros.push_back(Entero(limite));
    pagina.filas = LeerCerrados(*m_bd, desde, condicion, parametros, QStringLiteral(" LIMIT ?"));
    if (static_cast<int>(pagina.filas.size()) == limite)
        pagina.siguiente = pagina.filas.back().docID;
    return pagina;
}

std::vector<FilaTicket> BaseDatos::TicketsCerradosEntre(const Filtro& desde, qint32 primero, std::optional<qint32> ultimo)
{
    if (!Abierta())
        return {};
    std::vector<Valor> parametros{Entero(primero)};
    QString condicion = QStringLiteral("docID>=?");
    if (ultimo) {
        condicion += QStringLiteral(" AND docID<=?");
        parametros.push_back(Entero(*ultimo));
    }
    return LeerCerrados(*m_bd, desde, condicion, parametros);
}

std::optional<std::vector<LineaTicket>> BaseDatos::LineasTicket(qint32 docID)
{
    if (!Abierta())
        return std::nullopt;
    motor::Recordset rs = m_bd->abrirRecordset(QStringLiteral("select ") + QStringLiteral("linea, tipoT, cdPLU, canti, preci ")
                                               + QStringLiteral("from ") + QStringLiteral("Transacs ") + QStringLiteral("where ")
                                               + QStringLiteral("(docID=") + LargoATexto(docID) + QStringLiteral(") ")
                                               + QStringLiteral("order by linea "));
    std::vector<LineaTicket> articulos;
    std::vector<std::pair<qint16, qint32>> anulaciones;
    int validez = 0;
    for (; !rs.eof(); rs.moveNext()) {
        const qint16 tipo = CampoAEntero(rs[QStringLiteral("tipoT")]);
        if (tipo >= 1 && tipo <= 6)
            articulos.push_back({tipo, CampoALargo(rs[QStringLiteral("cdPLU")]), CampoALargo(rs[QStringLiteral("canti")]),
                                 CampoALargo(rs[QStringLiteral("preci")])});
        else if (tipo >= 8 && tipo <= 13)
            anulaciones.emplace_back(tipo, CampoALargo(rs[QStringLiteral("cdPLU")]));
        else if (tipo == 15)
            ++validez;
        else if (tipo == 16)
            --validez;
    }
    if (validez < 1)
        return std::nullopt;
    // Each void cancels the first live line of its kind (code - 7) and article.
    for (const auto& [tipo, plu] : anulaciones) {
        for (LineaTicket& a : articulos) {
            if (a.tipoT == tipo - 7 && a.cdPLU == plu) {
                a.tipoT = 0;
                break;
            }
        }
    }
    std::vector<LineaTicket> quedan;
    for (const LineaTicket& a : articulos)
        if (a.tipoT != 0)
            quedan.push_back(a);
    if (quedan.empty())
        return std::nullopt;
    return quedan;
}

bool BaseDatos::MarcarTicket(qint32 docID)
{
    if (!Abierta())
        return false;
    return m_bd->ejecutar(QStringLiteral("update Transacs ") + QStringLiteral("set tagID= tagID+1 ") + QStringLiteral("where ")
                          + QStringLiteral("(docID=") + LargoATexto(docID) + QStringLiteral(") "))
        >= 1;
}

qint32 BaseDatos::MarcaTicket(qint32 docID)
{
    if (!Abierta())
        return 0;
    return CampoALargo(m_bd->valorUnico(QStringLiteral("select coalesce(max(tagID), 0) from Transacs where docID=") + LargoATexto(docID)));
}

bool BaseDatos::ReclamarTicket(qint32 docID, qint32 marcaVista)
{
    if (!Abierta())
        return false;
    const Valor ticket(static_cast<qint64>(docID));
    // Checked and raised under one write lock: two stations can never both see the old mark.
    motor::BaseDeDatos::Transaccion t(*m_bd);
    if (m_bd->valorUnico(QStringLiteral("select count(*) from Transacs where docID=") + LargoATexto(docID)).aEntero() == 0)
        return true;
    const Valor otra = m_bd->valorUnico(QStringLiteral("select count(*) from Transacs where docID=") + LargoATexto(docID)
                                        + QStringLiteral(" and coalesce(tagID, 0)<>") + LargoATexto(marcaVista));
    if (otra.aEntero() != 0)
        return false;
    if (m_bd->ejecutarNativo(QStringLiteral("UPDATE Transacs SET tagID=coalesce(tagID, 0)+1 WHERE docID=?"), {ticket}) < 1)
        return false;
    t.commit();
    return true;
}

bool BaseDatos::EliminarTicket(qint32 docID)
{
    if (!Abierta())
        return false;
    return m_bd->ejecutar(QStringLiteral("delete from Transacs ") + QStringLiteral("where ") + QStringLiteral("(docID=")
                          + LargoATexto(docID) + QStringLiteral(") "))
        >= 1;
}

bool BaseDatos::HayTicketsMarcados()
{
    if (!Abierta())
        return false;
    return m_bd->valorUnico(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM Transacs t WHERE tipoT=15 AND tagID>0 AND NOT EXISTS "
                                           "(SELECT 1 FROM Transacs a WHERE a.docID=t.docID AND a.tipoT=16) LIMIT 1) AS m"))
               .aEntero()
        > 0;
}

bool BaseDatos::EliminarTodosMarcados()
{
    if (!Abierta())
        return false;
    return m_bd->ejecutar(QStringLiteral("delete from Transacs ") + QStringLiteral("where ") + QStringLiteral("(tagID>0) ")) >= 1;
}
