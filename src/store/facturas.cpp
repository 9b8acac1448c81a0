// Invoice store: numbering per series, the list with its filters, reading and deleting.

#include "basedatos.h"

#include "consultas.h"
#include "dinero.h"
#include "utilidades.h"

qint32 BaseDatos::NuevoNumeroFactura(qint16 serie)
{
    if (!Abierta())
        return 0;
    QString sql = NombresLargos(QStringLiteral("select max(Numero) from TbCabzFac where Serie=@S"));
    Reemplazar(QStringLiteral("@S"), EnteroATexto(serie), sql);
    return Siguiente(m_bd->valorUnico(sql), QStringLiteral("números de factura en esta serie"));
}

std::optional<QString> BaseDatos::CondicionesFacturas(const Filtro& serie, const Filtro& cliente, const Filtro& desde,
                                                     const Filtro& hasta)
{
    QString condiciones;
    const QString y = QStringLiteral(" and ");
    if (std::holds_alternative<qint16>(serie))
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Serie=") + EnteroATexto(std::get<qint16>(serie)) + QStringLiteral(") "));
    if (std::holds_alternative<qint32>(cliente)) {
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Cliente=") + LargoATexto(std::get<qint32>(cliente)) + QLatin1Char(')'));
    } else if (std::holds_alternative<QString>(cliente)) {
        const std::optional<qint32> codigo = CodigoPorNombre(std::get<QString>(cliente));
        if (!codigo)
            return std::nullopt;
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Cliente=") + LargoATexto(*codigo) + QLatin1Char(')'));
    }
    if (std::holds_alternative<QDate>(desde) && std::get<QDate>(desde).isValid())
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Fecha>=") + FechaASQL(std::get<QDate>(desde)) + QLatin1Char(')'));
    if (std::holds_alternative<QDate>(hasta) && std::get<QDate>(hasta).isValid())
        AnadirALista(condiciones, y, QStringLiteral("(TbCabzFac.Fecha<=") + FechaASQL(std::get<QDate>(hasta)) + QLatin1Char(')'));
    return condiciones;
}

std::vector<FilaFactura> BaseDatos::ListaFacturas(const Filtro& serie, const Filtro& cliente, const Filtro& desde,
                                                  const Filtro& hasta, const Filtro& pendiente)
{
    if (!Abierta())
        return {};
    const std::optional<QString> condiciones = CondicionesFacturas(serie, cliente, desde, hasta);
    return condiciones ? LeerFacturas(*condiciones, pendiente, {}) : std::vector<FilaFactura>{};
}

qint64 BaseDatos::CuentaFacturas(qint16 serie, const Filtro& cliente, const Filtro& desde, const Filtro& hasta)
{
    if (!Abierta())
        return 0;
    const std::optional<QString> condiciones = CondicionesFacturas(serie, cliente, desde, hasta);
    if (!condiciones)
        return 0;
    motor::BaseDeDatos::Sentencia& s = SentenciaDeLista(QStringLiteral("select count(*) from TbCabzFac where ") + *condiciones);
    const qint64 n = s.paso() ? s.columna(0).aEntero() : 0;
    s.reiniciar();
    return n;
}

PaginaLista<FilaFactura, qint32> BaseDatos::PaginaFacturas(qint16 serie, const Filtro& cliente, const Filtro& desde,
                                                           const Filtro& hasta, const Filtro& pendiente,
                                                           std::optional<qint32> despuesDe, int limite)
{
    PaginaLista<FilaFactura, qint32> pagina;
    if (!Abierta())
        return pagina;
    std::optional<QString> condiciones = CondicionesFacturas(serie, cliente, desde, hasta);
    if (!condiciones)
        return pagina;
    std::vector<Valor> parametros;
    if (despuesDe) {
        AnadirALista(*condiciones, QStringLiteral(" and "), QStringLiteral("(TbCabzFac.Numero>?)"));
        parametros.emplace_back(static_cast<qint64>(*despuesDe));
    }
    // The page's last number comes from the headers alone, on their (Serie, Numero) key; the
    // payment state may then leave fewer rows than that, and the next page starts after it.
    motor::BaseDeDatos::Sentencia& k = SentenciaDeLista(QStringLiteral("select TbCabzFac.Numero from TbCabzFac where ") + *condiciones
                                                        + QStringLiteral(" order by TbCabzFac.Numero limit 1 offset ?"));
    std::vector<Valor> clave = parametros;
    clave.emplace_back(static_cast<qint64>(std::max(limite, 1) - 1));
    k.vincular(clave);
    if (k.paso())
        pagina.siguiente = CampoALargo(k.columna(0));
    k.reiniciar();
    if (pagina.siguiente) {
        AnadirALista(*condiciones, QStringLiteral(" and "), QStringLiteral("(TbCabzFac.Numero<=?)"));
        parametros.emplace_back(static_cast<qint64>(*pagina.siguiente));
    }
    pagina.filas = LeerFacturas(*condiciones, pendiente, parametros);
    return pagina;
}

std::vector<FilaFactura> BaseDatos::LeerFacturas(const QString& condiciones, const Filtro& pendiente, const std::vector<Valor>& parametros)
{
    std::vector<FilaFactura> filas;
    QString bases = consultas::ListaBasesImponiblesSelectCentimos;
    if (!condiciones.isEmpty())
        bases += QStringLiteral(" where ") + condiciones;
    bases += consultas::ListaBasesImponiblesGroup;
    QString sql = consultas::ListaFacturasCentimos;
    Reemplazar(QStringLiteral("QryBImpon"), QLatin1Char('(') + bases + QStringLiteral(") as QryBImpon"), sql);
    // Annulled invoices: an annulment is the last record an invoice gets. Asked per row on the
    // records' (Serie, Numero) index, so the call costs its own rows, not every record kept.
    const bool conRegistros = m_bd->existeTabla(QStringLiteral("RegistroFacturacion"));
    sql = QStringLiteral("select *, ")
        + (conRegistros ? QStringLiteral("exists (select 1 from RegistroFacturacion r where r.Serie=ListaFacturas.Serie and "
                                         "r.Numero=ListaFacturas.Numero and r.Tipo='N')")
                        : QStringLiteral("0"))
        + QStringLiteral(" as Anulada from (") + sql + QStringLiteral(") as ListaFacturas ");
    // Settled: paid to the cent what the invoice comes to with its packaging, or without it
    // (invoices settled before the packaging was counted).
    if (std::holds_alternative<bool>(pendiente))
        sql += std::get<bool>(pendiente)
            ? QStringLiteral("where (isnull(Pagado) or ((centimos(Pagado)<>Neto+IVA+REq+sEnvases) and (centimos(Pagado)<>Neto+IVA+REq)))")
            : QStringLiteral("where ((centimos(Pagado)=Neto+IVA+REq+sEnvases) or (centimos(Pagado)=Neto+IVA+REq))");
    sql += QStringLiteral(" order by Serie, Numero");
    // Read by column position from the prepared statement: the call costs its rows, not the
    // translation and a copy of every row kept aside.
    motor::BaseDeDatos::Sentencia& s = SentenciaDeLista(sql);
    s.vincular(parametros);
    const auto columna = [&s](const char* nombre) {
        for (int i = 0; i < s.columnas(); ++i)
            if (s.nombreColumna(i).compare(QLatin1String(nombre), Qt::CaseInsensitive) == 0)
                return i;
        throw motor::Error(motor::ErrGeneral, 0, QStringLiteral("Falta la columna %1 en la lista de facturas.").arg(QLatin1String(nombre)));
    };
    const int cNumero = columna("Numero"), cFecha = columna("Fecha"), cCliente = columna("Cliente"),
              cNombre = columna("nombre"), cNeto = columna("Neto"), cIva = columna("iva"), cPagado = columna("Pagado"),
              cREq = columna("REq"), cEnvases = columna("sEnvases"), cAnulada = columna("Anulada");
    while (s.paso()) {
        FilaFactura f;
        f.Anulada = s.columna(cAnulada).aEntero() != 0;
        // An annulled invoice is owed by nobody; the saved query keeps its text for other programs.
        if (f.Anulada && std::holds_alternative<bool>(pendiente) && std::get<bool>(pendiente))
            continue;
        f.Numero = CampoALargo(s.columna(cNumero));
        f.Fecha = s.columna(cFecha);
        f.Cliente = s.columna(cCliente);
        f.nombre = s.columna(cNombre);
        const qint64 neto = s.columna(cNeto).aEntero();
        const qint64 iva = s.columna(cIva).aEntero();
        f.Neto = AEuros(neto);
        f.iva = AEuros(iva);
        f.Total = AEuros(neto + iva);
        f.Pagado = s.columna(cPagado);
        f.REq = AEuros(s.columna(cREq).aEntero());
        f.Envases = AEuros(s.columna(cEnvases).aEntero());
        AnadirAVector(filas, std::move(f));
    }
    s.reiniciar();
    return filas;
}

double TotalAPagar(const FilaFactura& factura)
{
    return AEuros(Centimos(factura.Neto) + Centimos(factura.iva) + Centimos(factura.REq) + Centimos(factura.Envases));
}

bool BaseDatos::ConsultaCabzFactura(qint16 serie, qint32 numero, motor::Recordset& rs)
{
    if (!Abierta())
        return false;
    rs = m_bd->abrirRecordset(NombresLargos(QStringLiteral("select * from TbCabzFac where (Serie = ?) and (Numero = ?) ")),
                              {Valor(static_cast<qint64>(serie)), Valor(static_cast<qint64>(numero))});
    return true;
}

bool BaseDatos::ConsultaDetaFactura(qint16 serie, qint32 numero, motor::Recordset& rs)
{
    if (!Abierta())
        return false;
    rs = m_bd->abrirRecordset(NombresLargos(QStringLiteral("select * from TbDetaFac where (Serie=?) and (Numero=?) order by Linea")),
                              {Valor(static_cast<qint64>(serie)), Valor(static_cast<qint64>(numero))});
    return true;
}

bool BaseDatos::EliminarFactura(qint16 serie, qint32 numero)
{
    if (!Abierta())
        return false;
    // The invoice and the release of its notes stand or fall together.
    motor::BaseDeDatos::Transaccion t(*m_bd);
    const bool borrada = m_bd->ejecutar(NombresLargos(QStringLiteral("delete from TbCabzFac where (Serie=")) + EnteroATexto(serie)
                                        + QStringLiteral(") and (Numero=") + LargoATexto(numero) + QStringLiteral(") "))
        > 0;
    LiberarAlbaranes(serie, numero);
    t.commit();
    return borrada;
}

void BaseDatos::LiberarAlbaranes(qint16 serie, qint32 numero)
{
    if (!Abierta())
        return;
    m_bd->ejecutar(NombresLargos(QStringLiteral("update TbCabzAlb set  sFac=null, Factura=null where (sFac=")) + EnteroATexto(serie)
                   + QStringLiteral(") and (Factura=") + LargoATexto(numero) + QStringLiteral(") "));
}

std::optional<std::pair<qint32, QDate>> BaseDatos::FacturaAnterior(qint16 serie, qint32 numero)
{
    if (!Abierta())
        return std::nullopt;
    motor::BaseDeDatos::Sentencia& s = m_bd->preparar(
        QStringLiteral("SELECT Numero, Fecha FROM FacturaVentaCabecera WHERE Serie=? AND Numero<? ORDER BY Numero DESC LIMIT 1"));
    s.vincular({static_cast<int>(serie), numero});
    std::optional<std::pair<qint32, QDate>> anterior;
    if (s.paso())
        anterior = std::make_pair(static_cast<qint32>(s.columna(0).aEntero()), s.columna(1).aFecha());
    s.reiniciar();
    return anterior;
}
