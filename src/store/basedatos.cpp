#include "basedatos.h"

#include "utilidades.h"

BaseDatos::BaseDatos(const QString& ruta)
{
    if (ruta.trimmed().isEmpty()) {
        m_errorApertura = QStringLiteral("No se ha indicado la base de datos.");
        return;
    }
    try {
        m_bd = std::make_unique<motor::BaseDeDatos>(ruta);
        for (const motor::DefCampo& c : m_bd->campos(QStringLiteral("GRUPOS")))
            if (c.nombre.compare(QLatin1String("ALMACEN"), Qt::CaseInsensitive) == 0)
                m_versionAlmacenes = true;
    } catch (const motor::Error& e) {
        m_bd.reset();
        m_errorApertura = e.mensaje();
        m_codigoApertura = e.codigoSqlite();
    }
}

BaseDatos::~BaseDatos() = default;

QString BaseDatos::NombresLargos(QString sql)
{
    Reemplazar(QStringLiteral("TbCliente"), QStringLiteral("Cliente"), sql);
    Reemplazar(QStringLiteral("TbCabzAlb"), QStringLiteral("AlbaranVentaCabecera"), sql);
    Reemplazar(QStringLiteral("TbDetaAlb"), QStringLiteral("AlbaranVentaDetalle"), sql);
    Reemplazar(QStringLiteral("TbCabzFac"), QStringLiteral("FacturaVentaCabecera"), sql);
    Reemplazar(QStringLiteral("TbDetaFac"), QStringLiteral("FacturaVentaDetalle"), sql);
    Reemplazar(QStringLiteral("QryAlbarn"), QStringLiteral("ListaAlbaranes"), sql);
    Reemplazar(QStringLiteral("QryBImpon"), QStringLiteral("ListaBasesImponibles"), sql);
    return sql;
}

QString BaseDatos::NumeroSQL(const Valor& valor)
{
    if (!valor.esNumerico()) {
        if (valor.tipo() != Valor::Tipo::Texto)
            return QStringLiteral("0");
        bool ok = false;
        const double d = valor.aTexto().trimmed().toDouble(&ok);
        return ok ? QString::number(d, 'f', 3) : QStringLiteral("0");
    }
    return QString::number(valor.aNumero(), 'f', 3);
}

std::vector<FilaGrupo> BaseDatos::ListaGrupos()
{
    std::vector<FilaGrupo> filas;
    if (!Abierta())
        return filas;
    motor::Recordset rs = m_bd->abrirRecordset(QStringLiteral("select CODGPO, NOMGPO from GRUPOS order by CODGPO"));
    for (; !rs.eof(); rs.moveNext())
        AnadirAVector(filas, FilaGrupo{CampoAEntero(rs[QStringLiteral("codgpo")]), CampoATexto(rs[QStringLiteral("NOMGPO")])});
    return filas;
}

void BaseDatos::DatosGrupo(qint16 grupo, qint16& seccion, qint16& tarifa, qint32& almacen, TablaDepartamentos& ivas)
{
    for (int d = 1; d <= 10; ++d)
        ivas[static_cast<size_t>(d)] = 0;
    seccion = 0;
    tarifa = 0;
    if (!Abierta())
        return;
    motor::Recordset rs = m_bd->abrirRecordset(QStringLiteral("select * from GRUPOS where CODGPO=") + EnteroATexto(grupo));
    if (rs.eof())
        return;
    seccion = CampoAEntero(rs[QStringLiteral("Seccion")]);
    tarifa = CampoAEntero(rs[QStringLiteral("Tarifa")]);
    almacen = m_versionAlmacenes ? CampoALargo(rs[QStringLiteral("Almacen")]) : 0;
    for (int d = 1; d <= 10; ++d) {
        const int tipo = CampoAEntero(rs[QStringLiteral("IVD") + NumeroConCeros(d, 2)]);
        if (tipo >= 1 && tipo <= 5)
            ivas[static_cast<size_t>(d)] =
                static_cast<float>(CampoAEntero(rs[QStringLiteral("IVA") + NumeroConCeros(tipo, 2)]) / 100.0);
    }
}

QString BaseDatos::NombreSeccion(qint16 seccion)
{
    if (!Abierta())
        return {};
    motor::Recordset rs = m_bd->abrirRecordset(QStringLiteral("select * from SECCS where NMSECC=") + EnteroATexto(seccion));
    return rs.eof() ? QString() : CampoATexto(rs[QStringLiteral("NOMSEC")]);
}

QString BaseDatos::NombreAlmacen(qint32 almacen)
{
    if (!Abierta() || !m_versionAlmacenes)
        return {};
    motor::Recordset rs = m_bd->abrirRecordset(QStringLiteral("select * from ALMACEN where CODALM=") + LargoATexto(almacen));
    return rs.eof() ? QString() : CampoATexto(rs[QStringLiteral("NOMALM")]);
}
