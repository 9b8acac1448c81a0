// The program's tables, relations and saved queries, created or brought up to date at start-up.

#include "basedatos.h"
#include "consultas.h"
#include "ordennombres.h"


using motor::DefCampo;
using motor::DefIndice;
using motor::DefTabla;
using motor::TipoCampo;

namespace {

DefCampo campo(const char* nombre, TipoCampo tipo, int tamano = 0)
{
    return DefCampo{QString::fromLatin1(nombre), tipo, tamano, std::nullopt};
}

DefCampo campoCero(const char* nombre, TipoCampo tipo)
{
    return DefCampo{QString::fromLatin1(nombre), tipo, 0, Valor(0)};
}

DefTabla tablaCliente()
{
    return DefTabla{QStringLiteral("Cliente"),
                    {campo("Codigo", TipoCampo::Largo), campo("NIF", TipoCampo::Texto, 12),
                     campo("Nombre", TipoCampo::Texto, 50), campo("Direccion1", TipoCampo::Texto, 50),
                     campo("Direccion2", TipoCampo::Texto, 50), campo("Direccion3", TipoCampo::Texto, 50),
                     campo("CodPostal", TipoCampo::Texto, 6), campo("Poblacion", TipoCampo::Texto, 40),
                     campo("Provincia", TipoCampo::Texto, 40), campo("Telefono1", TipoCampo::Texto, 50),
                     campo("Telefono2", TipoCampo::Texto, 50), campo("Email", TipoCampo::Texto, 50),
                     campo("UsaREq", TipoCampo::Booleano), campo("DiaPago", TipoCampo::Entero),
                     campo("Descuento", TipoCampo::Simple), campo("Observaciones", TipoCampo::Memo)},
                    {DefIndice{QStringLiteral("Codigo"), true, true, {QStringLiteral("Codigo")}},
                     DefIndice{QStringLiteral("Nombre"), false, false, {QStringLiteral("Nombre")}}}};
}

DefTabla tablaCabeceraAlbaran()
{
    return DefTabla{QStringLiteral("AlbaranVentaCabecera"),
                    {campo("Numero", TipoCampo::Largo), campo("Fecha", TipoCampo::Fecha), campo("Cliente", TipoCampo::Largo),
                     campoCero("sFac", TipoCampo::Entero), campo("Factura", TipoCampo::Largo),
                     campo("Pagado", TipoCampo::Doble), campo("DesctoPP", TipoCampo::Simple),
                     campo("Observaciones", TipoCampo::Memo), campo("onLine", TipoCampo::Booleano)},
                    {DefIndice{QStringLiteral("Numero"), true, true, {QStringLiteral("Numero")}},
                     DefIndice{QStringLiteral("Fecha"), false, false, {QStringLiteral("Fecha")}},
                     DefIndice{QStringLiteral("Cliente"), false, false, {QStringLiteral("Cliente")}}}};
}

DefTabla tablaDetalleAlbaran()
{
    return DefTabla{QStringLiteral("AlbaranVentaDetalle"),
                    {campo("Numero", TipoCampo::Largo), campo("Linea", TipoCampo::Entero), campo("Articulo", TipoCampo::Largo),
                     campo("Departamento", TipoCampo::Entero), campo("Precio", TipoCampo::Largo),
                     campo("Descuento", TipoCampo::Simple), campo("Cada", TipoCampo::Entero),
                     campo("Cantidad", TipoCampo::Largo), campo("CanStock", TipoCampo::Largo),
                     campo("Bultos", TipoCampo::Largo), campo("Envase", TipoCampo::Largo),
                     campo("Comentario", TipoCampo::Texto, 255)},
                    {DefIndice{QStringLiteral("Numero"), true, true, {QStringLiteral("Numero"), QStringLiteral("Linea")}}}};
}

DefTabla tablaCabeceraFactura()
{
    return DefTabla{QStringLiteral("FacturaVentaCabecera"),
                    {campoCero("Serie", TipoCampo::Entero), campo("Numero", TipoCampo::Largo), campo("Fecha", TipoCampo::Fecha),
                     campo("Cliente", TipoCampo::Largo), campo("Albaran", TipoCampo::Largo), campo("Pagado", TipoCampo::Doble),
                     campo("ImporteEnvases", TipoCampo::Doble), campo("DesctoPP", TipoCampo::Simple),
                     campo("Descuento", TipoCampo::Simple), campo("Observaciones", TipoCampo::Memo)},
                    {DefIndice{QStringLiteral("Numero"), true, true, {QStringLiteral("Serie"), QStringLiteral("Numero")}},
                     DefIndice{QStringLiteral("Fecha"), false, false, {QStringLiteral("Fecha")}},
                     DefIndice{QStringLiteral("Cliente"), false, false, {QStringLiteral("Cliente")}}}};
}

DefTabla tablaDetalleFactura()
{
    return DefTabla{QStringLiteral("FacturaVentaDetalle"),
                    {campoCero("Serie", TipoCampo::Entero), campo("Numero", TipoCampo::Largo), campo("Linea", TipoCampo::Entero),
                     campo("Concepto", TipoCampo::Texto, 50), campo("Referencia", TipoCampo::Largo),
                     campo("Descripcion", TipoCampo::Texto, 50), campo("Cantidad", TipoCampo::Doble),
                     campo("Precio", TipoCampo::Doble), campo("Unidad", TipoCampo::Entero), campo("Importe", TipoCampo::Doble),
                     campo("Descuento", TipoCampo::Simple), campo("pIVA", TipoCampo::Simple), campo("pREq", TipoCampo::Simple),
                     campo("Bultos", TipoCampo::Largo), campo("Envase", TipoCampo::Largo),
                     campo("Comentario", TipoCampo::Texto, 255)},
                    {DefIndice{QStringLiteral("Numero"), true, true,
                               {QStringLiteral("Serie"), QStringLiteral("Numero"), QStringLiteral("Linea")}}}};
}

// The shop's data, one row (Codigo 1). Its name and NIF are also the issuer of its invoices.
DefTabla tablaComercio()
{
    return DefTabla{QStringLiteral("Comercio"),
                    {campo("Codigo", TipoCampo::Largo), campo("Nombre", TipoCampo::Texto, 120), campo("NIF", TipoCampo::Texto, 12),
                     campo("Direccion", TipoCampo::Texto, 100), campo("CodPostal", TipoCampo::Texto, 10),
                     campo("Poblacion", TipoCampo::Texto, 50), campo("Provincia", TipoCampo::Texto, 50),
                     campo("Telefono", TipoCampo::Texto, 50)},
                    {DefIndice{QStringLiteral("Codigo"), true, true, {QStringLiteral("Codigo")}}}};
}

motor::DefRelacion relacion(const char* nombre, const char* tabla, const char* externa,
                            std::vector<std::pair<QString, QString>> campos, bool cascadaBorrar)
{
    return motor::DefRelacion{QString::fromLatin1(nombre), QString::fromLatin1(tabla), QString::fromLatin1(externa),
                              std::move(campos), true, cascadaBorrar};
}

const std::pair<QString, QString> kNumero{QStringLiteral("Numero"), QStringLiteral("Numero")};
const std::pair<QString, QString> kSerie{QStringLiteral("Serie"), QStringLiteral("Serie")};

}  // namespace

void BaseDatos::AnadirCampo(const QString& tabla, const QString& nombre, TipoCampo tipo, int tamano,
                            std::optional<Valor> porDefecto)
{
    // Only the fields the upgrade adds come here; an existing field is left as it is.
    if (!m_bd->existeCampo(tabla, nombre))
        m_bd->anadirCampo(tabla, DefCampo{nombre, tipo, tipo == TipoCampo::Texto && tamano == 0 ? 50 : tamano, porDefecto});
}

void BaseDatos::CrearIndice(const QString& tabla, const QString& nombre, bool principal, bool unico, const QStringList& campos)
{
    m_bd->crearIndice(tabla, DefIndice{nombre, principal, unico, campos});
}

void BaseDatos::CambiarConsulta(const QString& nombre, const QString& sql)
{
    m_bd->cambiarSQLConsulta(nombre, NombresLargos(sql));
}

void BaseDatos::CrearTablasNuevas()
{
    if (!Abierta())
        return;
    // Nearly every start finds the schema up to date: the upgrade is first walked read-only, so
    // such a start never waits for the write lock another station or the scale line holds.
    // Inside a caller's transaction (which holds the write lock already) the walk would end it.
    if (!m_bd->enTransaccion() && EsquemaAlDia())
        return;
    motor::BaseDeDatos::Transaccion t(*m_bd);
    ActualizarEsquema();
    t.commit();
}

bool BaseDatos::EsquemaAlDia()
{
    // Every step reads before it writes, so the walk stops at the first write it would make.
    const bool pg = m_bd->esPostgreSQL();
    m_bd->ejecutarNativo(QStringLiteral("BEGIN"));
    m_bd->ejecutarNativo(pg ? QStringLiteral("SET TRANSACTION READ ONLY") : QStringLiteral("PRAGMA query_only=ON"));
    struct Deshacer {
        motor::BaseDeDatos& bd;
        bool pg;
        ~Deshacer()
        {
            bd.ejecutarNativo(QStringLiteral("ROLLBACK"));
            if (!pg)
                bd.ejecutarNativo(QStringLiteral("PRAGMA query_only=OFF"));
        }
    } deshacer{*m_bd, pg};
    try {
        ActualizarEsquema();
    } catch (const ErrorActualizacion& e) {
        if ((e.codigoSqlite() & 0xff) != 8 /* read-only */)
            throw;
        return false;
    }
    return true;
}

void BaseDatos::ActualizarEsquema()
{
    motor::BaseDeDatos& bd = *m_bd;
    int paso = 0;
    auto empezar = [&](int n) {
        paso = n;
        if (antesDePaso)
            antesDePaso(n);
    };
    auto ejecutar = [&](const QString& sql) { bd.ejecutar(NombresLargos(sql)); };
    const QString cab = QStringLiteral("AlbaranVentaCabecera"), det = QStringLiteral("AlbaranVentaDetalle");
    const QString fcab = QStringLiteral("FacturaVentaCabecera"), fdet = QStringLiteral("FacturaVentaDetalle");
    const QString cli = QStringLiteral("Cliente");
    // Adds a field that is missing and, only then, fills its nulls.
    // Gives a field's nulls a value; reads first, so that a table without any is not written.
    auto sinNulos = [&](const QString& tabla, const char* nombre, const char* valor) {
        const QString t = motor::CitarIdentificador(tabla), c = motor::CitarIdentificador(QString::fromLatin1(nombre));
        if (bd.valorUnico(QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1 WHERE %2 IS NULL)").arg(t, c)).aEntero() != 0)
            bd.ejecutarNativo(QStringLiteral("UPDATE %1 SET %2 = %3 WHERE %2 IS NULL").arg(t, c, QString::fromLatin1(valor)));
    };
    auto campoNuevo = [&](const QString& tabla, const char* nombre, TipoCampo tipo, const QString& relleno) {
        const QString n = QString::fromLatin1(nombre);
        if (bd.existeCampo(tabla, n))
            return;
        AnadirCampo(tabla, n, tipo);
        if (!relleno.isEmpty())
            ejecutar(relleno);
    };

    try {
        empezar(1);
        if (!bd.existeTabla(cli))
            bd.crearTabla(tablaCliente());

        empezar(2);
        if (!bd.existeTabla(cab) && !bd.existeTabla(det)) {
            bd.crearTabla(tablaCabeceraAlbaran());
            bd.crearTabla(tablaDetalleAlbaran());
            bd.crearRelacion(relacion("relAlbaran", "AlbaranVentaCabecera", "AlbaranVentaDetalle", {kNumero}, true));
        }

        empezar(3);
        if (!bd.existeTabla(fcab) && !bd.existeTabla(fdet)) {
            bd.crearTabla(tablaCabeceraFactura());
            bd.crearTabla(tablaDetalleFactura());
            bd.crearRelacion(relacion("relFactura", "FacturaVentaCabecera", "FacturaVentaDetalle", {kSerie, kNumero}, true));
        }

        empezar(4);
        if (!bd.existeRelacion(QStringLiteral("relCliAlb")))
            bd.crearRelacion(relacion("relCliAlb", "Cliente", "AlbaranVentaCabecera",
                                      {{QStringLiteral("Codigo"), QStringLiteral("Cliente")}}, false));
        if (!bd.existeRelacion(QStringLiteral("relCliFac")))
            bd.crearRelacion(relacion("relCliFac", "Cliente", "FacturaVentaCabecera",
                                      {{QStringLiteral("Codigo"), QStringLiteral("Cliente")}}, false));

        empezar(5);
        // The invoices' list reads the bases' one: PostgreSQL wants that one made first.
        if (!bd.existeConsulta(QStringLiteral("ListaBasesImponibles")))
            bd.crearConsulta(QStringLiteral("ListaBasesImponibles"), NombresLargos(consultas::ListaBasesImponibles));
        if (!bd.existeConsulta(QStringLiteral("ListaFacturas")))
            bd.crearConsulta(QStringLiteral("ListaFacturas"), NombresLargos(consultas::ListaFacturas));
        if (!bd.existeConsulta(QStringLiteral("ListaAlbaranes")))
            bd.crearConsulta(QStringLiteral("ListaAlbaranes"), NombresLargos(consultas::ListaAlbaranes));

        empezar(6);
        AnadirCampo(det, QStringLiteral("Bultos"), TipoCampo::Largo);
        AnadirCampo(det, QStringLiteral("Envase"), TipoCampo::Largo);
        sinNulos(det, "Bultos", "0");
        sinNulos(det, "Envase", "0");
        CambiarConsulta(QStringLiteral("ListaAlbaranes"), consultas::ListaAlbaranes);

        empezar(7);
        campoNuevo(cli, "UsaREq", TipoCampo::Largo, QStringLiteral("update TbCliente set UsaREq=False where isnull(UsaREq)"));
        campoNuevo(fcab, "Descuento", TipoCampo::Simple, QStringLiteral("update TbCabzFac set Descuento=0 where isnull(Descuento)"));
        campoNuevo(fdet, "pREq", TipoCampo::Simple, QStringLiteral("update TbDetaFac set pREq=0 where isnull(pREq)"));
        campoNuevo(fcab, "ImporteEnvases", TipoCampo::Doble,
                   QStringLiteral("update TbCabzFac set ImporteEnvases=0 where isnull(ImporteEnvases)"));
        CambiarConsulta(QStringLiteral("ListaFacturas"), consultas::ListaFacturas);

        empezar(8);
        AnadirCampo(fdet, QStringLiteral("Bultos"), TipoCampo::Largo);
        AnadirCampo(fdet, QStringLiteral("Envase"), TipoCampo::Largo);
        sinNulos(fdet, "Bultos", "0");
        sinNulos(fdet, "Envase", "0");

        empezar(9);
        // The relation is remade on the series only when the series are added; a database that
        // lost the relation somehow must still start: drop it only when present.
        const bool sinSeries = !bd.existeCampo(fcab, QStringLiteral("Serie")) || !bd.existeCampo(fdet, QStringLiteral("Serie"));
        if (sinSeries && bd.existeRelacion(QStringLiteral("relFactura")))
            bd.eliminarRelacion(QStringLiteral("relFactura"));

        empezar(10);
        if (!bd.existeCampo(fcab, QStringLiteral("Serie"))) {
            AnadirCampo(fcab, QStringLiteral("Serie"), TipoCampo::Largo, 0, Valor(0));
            ejecutar(QStringLiteral("update FacturaVentaCabecera set Serie=0 where isnull(Serie) "));
            bd.eliminarIndice(fcab, QStringLiteral("Numero"));
            CrearIndice(fcab, QStringLiteral("Numero"), true, true, {QStringLiteral("Serie"), QStringLiteral("Numero")});
        }
        if (!bd.existeCampo(fdet, QStringLiteral("Serie"))) {
            AnadirCampo(fdet, QStringLiteral("Serie"), TipoCampo::Largo, 0, Valor(0));
            ejecutar(QStringLiteral("update FacturaVentaDetalle set Serie=0 where isnull(Serie) "));
            bd.eliminarIndice(fdet, QStringLiteral("Numero"));
            CrearIndice(fdet, QStringLiteral("Numero"), true, true,
                        {QStringLiteral("Serie"), QStringLiteral("Numero"), QStringLiteral("Linea")});
        }

        empezar(11);
        if (!bd.existeRelacion(QStringLiteral("relFactura")))
            bd.crearRelacion(relacion("relFactura", "FacturaVentaCabecera", "FacturaVentaDetalle", {kSerie, kNumero}, true));

        empezar(12);
        campoNuevo(cab, "sFac", TipoCampo::Entero,
                   QStringLiteral("update AlbaranVentaCabecera set sFac=0 where not isnull(Factura) "));
        CambiarConsulta(QStringLiteral("ListaFacturas"), consultas::ListaFacturas);

        empezar(13);
        AnadirCampo(cab, QStringLiteral("Pagado"), TipoCampo::Doble);
        sinNulos(cab, "Pagado", "0");
        campoNuevo(cli, "Descuento", TipoCampo::Simple, QStringLiteral("update Cliente set Descuento=0 where isnull(Descuento)"));
        campoNuevo(cab, "DesctoPP", TipoCampo::Simple,
                   QStringLiteral("update ") + cab + QStringLiteral(" set DesctoPP=0 where isnull(DesctoPP)"));
        campoNuevo(fcab, "DesctoPP", TipoCampo::Simple,
                   QStringLiteral("update ") + fcab + QStringLiteral(" set DesctoPP=0 where isnull(DesctoPP)"));

        empezar(14);
        campoNuevo(det, "Descuento", TipoCampo::Simple,
                   QStringLiteral("update ") + det + QStringLiteral(" set Descuento=0 where isnull(Descuento)"));
        campoNuevo(fdet, "Descuento", TipoCampo::Simple,
                   QStringLiteral("update ") + fdet + QStringLiteral(" set Descuento=0 where isnull(Descuento)"));
        CambiarConsulta(QStringLiteral("ListaBasesImponibles"), consultas::ListaBasesImponibles);
        CambiarConsulta(QStringLiteral("ListaFacturas"), consultas::ListaFacturas);
        CambiarConsulta(QStringLiteral("ListaAlbaranes"), consultas::ListaAlbaranes);

        empezar(15);
        campoNuevo(cab, "onLine", TipoCampo::Booleano, QStringLiteral("update AlbaranVentaCabecera set onLine=False "));
        AnadirCampo(det, QStringLiteral("Comentario"), TipoCampo::Texto, 255);
        AnadirCampo(fdet, QStringLiteral("Comentario"), TipoCampo::Texto, 255);

        empezar(16);
        CrearIndicesDeConsulta();

        empezar(17);
        if (!bd.existeTabla(QStringLiteral("Comercio")))
            bd.crearTabla(tablaComercio());

        empezar(18);
        CrearTablasVerifactu();

        empezar(19);
        CrearTablasEnvio();
    } catch (const motor::Error& e) {
        throw ErrorActualizacion(paso, e.mensaje(), e.codigoSqlite());
    }
}

void BaseDatos::CrearIndicesDeConsulta()
{
    // What the lists and the invoicing search by: a customer's notes of some days, a series'
    // invoices of some days, the notes of an invoice, the customers by NIF.
    struct Indice {
        const char* tabla;
        const char* nombre;
        QStringList campos;
    };
    const Indice indices[] = {
        {"AlbaranVentaCabecera", "ClienteFecha", {QStringLiteral("Cliente"), QStringLiteral("Fecha")}},
        {"AlbaranVentaCabecera", "FacturaSerie", {QStringLiteral("Factura"), QStringLiteral("sFac")}},
        {"FacturaVentaCabecera", "SerieFecha", {QStringLiteral("Serie"), QStringLiteral("Fecha")}},
        {"FacturaVentaCabecera", "ClienteFecha", {QStringLiteral("Cliente"), QStringLiteral("Fecha")}},
        // The customer list by NIF, read a page at a time in that order.
        {"Cliente", "NIFCodigo", {QStringLiteral("NIF"), QStringLiteral("Codigo")}},
    };
    for (const Indice& i : indices) {
        const QString tabla = QString::fromLatin1(i.tabla);
        if (!m_bd->indice(tabla, QString::fromLatin1(i.nombre)))
            CrearIndice(tabla, QString::fromLatin1(i.nombre), false, false, i.campos);
    }
    // The scale line's table keeps no index; the ticket list is read every 1.5 s and tickets are
    // read, marked and deleted by number. Indexes only: its columns stay the scale system's.
    if (m_bd->existeTabla(QStringLiteral("Transacs"))) {
        const QString t = QStringLiteral("Transacs");
        if (!m_bd->indice(t, QStringLiteral("TipoFecha")))
            CrearIndice(t, QStringLiteral("TipoFecha"), false, false, {QStringLiteral("tipoT"), QStringLiteral("fecha")});
        if (!m_bd->indice(t, QStringLiteral("Documento")))
            CrearIndice(t, QStringLiteral("Documento"), false, false, {QStringLiteral("docID"), QStringLiteral("linea")});
        // The ticket browser reads tickets a page at a time by number, newest first.
        if (!m_bd->indice(t, QStringLiteral("TipoDocumento")))
            CrearIndice(t, QStringLiteral("TipoDocumento"), false, false, {QStringLiteral("tipoT"), QStringLiteral("docID")});
    }

    // Customer and article names are completed and sorted in Spanish order on their own key.
    IndiceDeNombres(QStringLiteral("Cliente"), QString(), QStringLiteral("Nombre"));
    if (m_bd->existeCampo(QStringLiteral("PLUSES"), QStringLiteral("NOMPLU")))
        IndiceDeNombres(QStringLiteral("PLUSES"), motor::CitarIdentificador(QStringLiteral("SECCION")), QStringLiteral("NOMPLU"));

    // The start-up statements that zero the nulls of the line tables must not scan a million
    // lines every time: these partial indexes hold only the null rows, so they stay empty.
    struct Nulos {
        const char* tabla;
        const char* campo;
    };
    static const Nulos nulos[] = {{"AlbaranVentaDetalle", "Bultos"}, {"AlbaranVentaDetalle", "Envase"},
                                  {"FacturaVentaDetalle", "Bultos"}, {"FacturaVentaDetalle", "Envase"},
                                  {"AlbaranVentaCabecera", "Pagado"}};
    for (const Nulos& n : nulos) {
        const QString tabla = QString::fromLatin1(n.tabla), campo = QString::fromLatin1(n.campo);
        // Asked first: PostgreSQL refuses even an index that exists already to a read-only start.
        if (m_bd->definicionIndice(tabla + QStringLiteral("_Nulos") + campo))
            continue;
        m_bd->ejecutarNativo(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3) WHERE %3 IS NULL")
                                 .arg(motor::CitarIdentificador(tabla + QStringLiteral("_Nulos") + campo),
                                      motor::CitarIdentificador(tabla), motor::CitarIdentificador(campo)));
    }
}

void BaseDatos::IndiceDeNombres(const QString& tabla, const QString& antes, const QString& columna)
{
    // Made again when its key changed: the key of the stored rows must be today's.
    const QString indice = tabla + QStringLiteral("_OrdenNombres");
    const QString sql = ordennombres::CrearIndice(tabla, indice, antes, columna, m_bd->esPostgreSQL());
    const std::optional<QString> actual = m_bd->definicionIndice(indice);
    if (actual == sql)
        return;
    if (actual)
        m_bd->ejecutarNativo(QStringLiteral("DROP INDEX ") + motor::CitarIdentificador(indice));
    m_bd->crearIndiceSQL(indice, sql);
}
