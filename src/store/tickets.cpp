// Scale tickets: the closed-ticket list, the lines a ticket leaves after its voids, marking and
// purging. The scale line owns Transacs; the program reads it, raises tagID and deletes rows.

#include "basedatos.h"
#include "utilidades.h"

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
            FilaTicket t;
            t.docID = CampoALargo(rs[QStringLiteral("docID")]);
            t.TagID = rs[QStringLiteral("TagID")];
            t.numTK = rs[QStringLiteral("numTK")];
            t.balan = rs[QStringLiteral("balan")];
            t.Opera = rs[QStringLiteral("Opera")];
            t.Fecha = rs[QStringLiteral("Fecha")];
            t.impor = CampoANumero(rs[QStringLiteral("impor")]);
            AnadirAVector(tickets, std::move(t));
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

bool BaseDatos::EliminarTodosMarcados()
{
    if (!Abierta())
        return false;
    return m_bd->ejecutar(QStringLiteral("delete from Transacs ") + QStringLiteral("where ") + QStringLiteral("(tagID>0) ")) >= 1;
}
