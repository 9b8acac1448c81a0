#include "kv740.h"

#include "basedatos.h"

#include "dinero.h"
#include "utilidades.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>

using motor::DefCampo;
using motor::DefIndice;
using motor::DefTabla;
using motor::TipoCampo;

namespace kv740 {

namespace {

// Field lists written as "Name:Type" with types B(oolean) I(nteger) L(ong) S(ingle) D(ouble)
// F(echa) M(emo) and T<size>.
DefTabla tabla(const QString& nombre, const QString& campos, std::vector<DefIndice> indices = {})
{
    DefTabla t{nombre, {}, std::move(indices)};
    for (const QString& c : campos.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString n = c.section(QLatin1Char(':'), 0, 0).trimmed();
        const QString tipo = c.section(QLatin1Char(':'), 1, 1).trimmed();
        DefCampo d{n, TipoCampo::Texto, 0, std::nullopt};
        switch (tipo.at(0).toLatin1()) {
        case 'B': d.tipo = TipoCampo::Booleano; break;
        case 'I': d.tipo = TipoCampo::Entero; break;
        case 'L': d.tipo = TipoCampo::Largo; break;
        case 'S': d.tipo = TipoCampo::Simple; break;
        case 'D': d.tipo = TipoCampo::Doble; break;
        case 'F': d.tipo = TipoCampo::Fecha; break;
        case 'M': d.tipo = TipoCampo::Memo; break;
        default: d.tipo = TipoCampo::Texto; d.tamano = tipo.mid(1).toInt(); break;
        }
        t.campos.push_back(d);
    }
    return t;
}

DefIndice indice(const QString& nombre, bool unico, const QStringList& campos)
{
    return DefIndice{nombre, unico, unico, campos};
}

void crearTablasKV740(motor::BaseDeDatos& bd, const Opciones& o)
{
    QString grupos = QStringLiteral("CODGPO:I,NOMGPO:T30,Seccion:I,Tarifa:I,");
    if (o.almacenes)
        grupos += o.almacenEnMinusculas ? QStringLiteral("almacen:L,") : QStringLiteral("ALMACEN:L,");
    for (int d = 1; d <= 10; ++d)
        grupos += QStringLiteral("IVD%1:I,").arg(NumeroConCeros(d, 2));
    for (int t = 1; t <= 5; ++t)
        grupos += QStringLiteral("IVA%1:I,").arg(NumeroConCeros(t, 2));
    bd.crearTabla(tabla(QStringLiteral("GRUPOS"), grupos, {indice(QStringLiteral("PrimaryKey"), true, {QStringLiteral("CODGPO")})}));
    bd.crearTabla(tabla(QStringLiteral("SECCS"), QStringLiteral("NMSECC:I,NOMSEC:T30"),
                        {indice(QStringLiteral("PrimaryKey"), true, {QStringLiteral("NMSECC")})}));
    bd.crearTabla(tabla(QStringLiteral("ALMACEN"), QStringLiteral("CODALM:L,NOMALM:T30"),
                        {indice(QStringLiteral("PrimaryKey"), true, {QStringLiteral("CODALM")})}));
    QString pluses = QStringLiteral("SECCION:I,CODPLU:L,NOMPLU:T30,CADA:I,DEPTO:I,");
    for (int nivel = 0; nivel <= 2; ++nivel)
        for (int tarifa = 1; tarifa <= 3; ++tarifa)
            pluses += QStringLiteral("PRECIO_%1%2:L,").arg(nivel).arg(tarifa);
    pluses += QStringLiteral("SALIDA:L,ENVASE:L");
    bd.crearTabla(tabla(QStringLiteral("PLUSES"), pluses,
                        {indice(QStringLiteral("PrimaryKey"), true, {QStringLiteral("SECCION"), QStringLiteral("CODPLU")}),
                         indice(QStringLiteral("NOMBRE"), false, {QStringLiteral("SECCION"), QStringLiteral("NOMPLU")})}));
    bd.crearTabla(tabla(QStringLiteral("MovsAlm"), QStringLiteral("CODALM:L,Seccion:I,Codigo:L,Venta:L,Entrada:L"),
                        {indice(QStringLiteral("PrimaryKey"), true,
                                {QStringLiteral("CODALM"), QStringLiteral("Seccion"), QStringLiteral("Codigo")})}));
    // The scale line writes tickets here; it keeps no index of its own.
    bd.crearTabla(tabla(QStringLiteral("Transacs"),
                        QStringLiteral("docID:L,tagID:L,numTK:L,balan:I,opera:I,fecha:F,tipoT:I,impor:L,linea:L,cdPLU:L,"
                                       "canti:L,preci:L")));
}

struct Articulo {
    const char* nombre;
    qint16 cada;   // 0 kg, 1 per 100 g, 2 unit
    qint16 depto;
    qint32 precio; // cents, base price of tariff 1
    qint32 envase; // deposit, cents
};

// A Spanish food shop: weighed goods per kilogram, sliced goods per 100 g, unit goods.
const Articulo kCatalogo[] = {
    {"TERNERA FILETES", 0, 1, 1495, 0},       {"TERNERA PICADA", 0, 1, 1090, 0},
    {"POLLO ENTERO", 0, 1, 365, 0},           {"PECHUGA DE POLLO", 0, 1, 795, 0},
    {"CHULETAS DE CERDO", 0, 1, 749, 0},      {"LOMO DE CERDO", 0, 1, 899, 0},
    {"CORDERO PIERNA", 0, 1, 1450, 0},        {"CONEJO", 0, 1, 860, 0},
    {"MERLUZA", 0, 2, 1290, 0},               {"DORADA", 0, 2, 995, 0},
    {"SALMON", 0, 2, 1690, 0},                {"BOQUERON", 0, 2, 650, 0},
    {"CALAMAR", 0, 2, 1190, 0},               {"MEJILLON", 0, 2, 390, 0},
    {"JAMON SERRANO LONCHAS", 1, 3, 289, 0},  {"JAMON IBERICO LONCHAS", 1, 3, 790, 0},
    {"CHORIZO SARTA", 0, 3, 1250, 0},         {"SALCHICHON", 1, 3, 195, 0},
    {"LOMO EMBUCHADO", 1, 3, 410, 0},         {"MORCILLA", 0, 3, 690, 0},
    {"QUESO MANCHEGO CURADO", 0, 4, 1990, 0}, {"QUESO TIERNO", 0, 4, 1150, 0},
    {"QUESO DE CABRA", 1, 4, 245, 0},         {"QUESO AZUL", 1, 4, 275, 0},
    {"PAN DE BARRA", 2, 5, 110, 0},           {"PAN INTEGRAL", 2, 5, 185, 0},
    {"MAGDALENAS", 0, 5, 590, 0},             {"LECHE ENTERA 1 L", 2, 6, 105, 0},
    {"YOGUR NATURAL 4 U", 2, 6, 160, 0},      {"HUEVOS DOCENA", 2, 6, 290, 0},
    {"AGUA 1,5 L", 2, 7, 65, 0},              {"CERVEZA BOTELLIN", 2, 7, 95, 10},
    {"VINO TINTO CRIANZA", 2, 7, 690, 0},     {"REFRESCO COLA 2 L", 2, 7, 195, 0},
    {"SIFON", 2, 7, 80, 30},                  {"DETERGENTE 3 L", 2, 8, 790, 0},
    {"MANZANA GOLDEN", 0, 9, 245, 0},         {"PLATANO CANARIAS", 0, 9, 299, 0},
    {"TOMATE PERA", 0, 9, 215, 0},            {"PATATA", 0, 9, 120, 0},
};

void cargarCatalogo(motor::BaseDeDatos& bd, const Opciones& o)
{
    const QString secciones[] = {QStringLiteral("TIENDA"), QStringLiteral("MERCADO"), QStringLiteral("OBRADOR")};
    for (int s = 1; s <= 3; ++s)
        bd.ejecutarNativo(QStringLiteral("INSERT INTO SECCS VALUES (?, ?)"), {s, secciones[s - 1]});
    const QString almacenes[] = {QStringLiteral("ALMACEN CENTRAL"), QStringLiteral("CAMARA FRIGORIFICA")};
    for (int a = 1; a <= 2; ++a)
        bd.ejecutarNativo(QStringLiteral("INSERT INTO ALMACEN VALUES (?, ?)"), {a, almacenes[a - 1]});

    // VAT types 1..5 in hundredths of a percent: 21 %, 10 %, 4 %, none.
    // Departments: meat, fish, charcuterie, cheese (10 %), bread, dairy (4 %), drinks, household (21 %),
    // fruit (4 %), 10 unused.
    const int tipoDepto[11] = {0, 2, 2, 2, 2, 3, 3, 1, 1, 3, 0};
    struct Grupo {
        int codigo;
        const char* nombre;
        int seccion, tarifa, almacen;
    };
    const Grupo grupos[] = {{1, "TIENDA PRINCIPAL", 1, 1, 1}, {2, "PUESTO MERCADO", 2, 2, 2}, {3, "OBRADOR", 3, 1, 0}};
    for (const Grupo& g : grupos) {
        QStringList cols{QStringLiteral("CODGPO"), QStringLiteral("NOMGPO"), QStringLiteral("Seccion"), QStringLiteral("Tarifa")};
        std::vector<Valor> valores{g.codigo, QString::fromLatin1(g.nombre), g.seccion, g.tarifa};
        if (o.almacenes) {
            cols << (o.almacenEnMinusculas ? QStringLiteral("almacen") : QStringLiteral("ALMACEN"));
            valores.emplace_back(g.almacen);
        }
        for (int d = 1; d <= 10; ++d) {
            cols << QStringLiteral("IVD") + NumeroConCeros(d, 2);
            valores.emplace_back(tipoDepto[d]);
        }
        const int iva[6] = {0, 2100, 1000, 400, 0, 0};
        for (int t = 1; t <= 5; ++t) {
            cols << QStringLiteral("IVA") + NumeroConCeros(t, 2);
            valores.emplace_back(iva[t]);
        }
        QStringList marcas;
        for (qsizetype i = 0; i < cols.size(); ++i)
            marcas << QStringLiteral("?");
        bd.ejecutarNativo(QStringLiteral("INSERT INTO GRUPOS (%1) VALUES (%2)").arg(cols.join(QLatin1Char(',')), marcas.join(QLatin1Char(','))),
                          valores);
    }

    for (int s = 1; s <= 3; ++s) {
        int codigo = 0;
        for (const Articulo& a : kCatalogo) {
            ++codigo;
            if (s == 3 && a.depto != 5)
                continue;  // the bakery's own section holds bread only
            std::vector<Valor> v{s, codigo, QString::fromLatin1(a.nombre), a.cada, a.depto};
            for (int nivel = 0; nivel <= 2; ++nivel)
                for (int tarifa = 1; tarifa <= 3; ++tarifa)
                    v.emplace_back(static_cast<qint64>(a.precio * (100 - 5 * nivel) / 100 + (tarifa - 1) * 10));
            v.emplace_back(0);
            v.emplace_back(a.envase);
            bd.ejecutarNativo(QStringLiteral("INSERT INTO PLUSES VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"), v);
        }
    }
}

void crearFormaAntigua(motor::BaseDeDatos& bd, FormaPrograma forma)
{
    const bool series = forma == FormaPrograma::ConSeries;
    const QString cli = series ? QStringLiteral(",UsaREq:L") : QString();
    bd.crearTabla(tabla(QStringLiteral("Cliente"),
                        QStringLiteral("Codigo:L,NIF:T12,Nombre:T50,Direccion1:T50,Direccion2:T50,Direccion3:T50,CodPostal:T6,"
                                       "Poblacion:T40,Provincia:T40,Telefono1:T50,Telefono2:T50,Email:T50,DiaPago:I,"
                                       "Observaciones:M")
                            + cli,
                        {indice(QStringLiteral("Codigo"), true, {QStringLiteral("Codigo")}),
                         indice(QStringLiteral("Nombre"), false, {QStringLiteral("Nombre")})}));
    bd.crearTabla(tabla(QStringLiteral("AlbaranVentaCabecera"),
                        QStringLiteral("Numero:L,Fecha:F,Cliente:L,Factura:L,Observaciones:M") + (series ? QStringLiteral(",sFac:I") : QString()),
                        {indice(QStringLiteral("Numero"), true, {QStringLiteral("Numero")}),
                         indice(QStringLiteral("Fecha"), false, {QStringLiteral("Fecha")}),
                         indice(QStringLiteral("Cliente"), false, {QStringLiteral("Cliente")})}));
    bd.crearTabla(tabla(QStringLiteral("AlbaranVentaDetalle"),
                        QStringLiteral("Numero:L,Linea:I,Articulo:L,Departamento:I,Precio:L,Cada:I,Cantidad:L,CanStock:L")
                            + (series ? QStringLiteral(",Bultos:L,Envase:L") : QString()),
                        {indice(QStringLiteral("Numero"), true, {QStringLiteral("Numero"), QStringLiteral("Linea")})}));
    bd.crearTabla(tabla(QStringLiteral("FacturaVentaCabecera"),
                        (series ? QStringLiteral("Serie:L,") : QString())
                            + QStringLiteral("Numero:L,Fecha:F,Cliente:L,Albaran:L,Pagado:D,Observaciones:M")
                            + (series ? QStringLiteral(",Descuento:S,ImporteEnvases:D") : QString()),
                        {indice(QStringLiteral("Numero"), true,
                                series ? QStringList{QStringLiteral("Serie"), QStringLiteral("Numero")} : QStringList{QStringLiteral("Numero")}),
                         indice(QStringLiteral("Fecha"), false, {QStringLiteral("Fecha")}),
                         indice(QStringLiteral("Cliente"), false, {QStringLiteral("Cliente")})}));
    bd.crearTabla(tabla(QStringLiteral("FacturaVentaDetalle"),
                        (series ? QStringLiteral("Serie:L,") : QString())
                            + QStringLiteral("Numero:L,Linea:I,Concepto:T50,Referencia:L,Descripcion:T50,Cantidad:D,Precio:D,"
                                             "Unidad:I,Importe:D,pIVA:S")
                            + (series ? QStringLiteral(",pREq:S,Bultos:L,Envase:L") : QString()),
                        {indice(QStringLiteral("Numero"), true,
                                series ? QStringList{QStringLiteral("Serie"), QStringLiteral("Numero"), QStringLiteral("Linea")}
                                       : QStringList{QStringLiteral("Numero"), QStringLiteral("Linea")})}));
    const std::pair<QString, QString> numero{QStringLiteral("Numero"), QStringLiteral("Numero")};
    const std::pair<QString, QString> serie{QStringLiteral("Serie"), QStringLiteral("Serie")};
    bd.crearRelacion({QStringLiteral("relAlbaran"), QStringLiteral("AlbaranVentaCabecera"), QStringLiteral("AlbaranVentaDetalle"), {numero}, true, true});
    bd.crearRelacion({QStringLiteral("relFactura"), QStringLiteral("FacturaVentaCabecera"), QStringLiteral("FacturaVentaDetalle"),
                      series ? std::vector{serie, numero} : std::vector{numero}, true, true});
    bd.crearRelacion({QStringLiteral("relCliAlb"), QStringLiteral("Cliente"), QStringLiteral("AlbaranVentaCabecera"),
                      {{QStringLiteral("Codigo"), QStringLiteral("Cliente")}}, true, false});
    bd.crearRelacion({QStringLiteral("relCliFac"), QStringLiteral("Cliente"), QStringLiteral("FacturaVentaCabecera"),
                      {{QStringLiteral("Codigo"), QStringLiteral("Cliente")}}, true, false});
    // The saved queries of those releases, shorter than today's.
    bd.crearConsulta(QStringLiteral("ListaAlbaranes"),
                     QStringLiteral("select AlbaranVentaCabecera.Numero as Numero, Fecha, Cliente, Nombre, Factura, "
                                    "sum(Cantidad * Precio / switch(Cada=0,1000,Cada=1,100,True,1)) as Importe, count(Linea) as nlin "
                                    "from (AlbaranVentaCabecera left join AlbaranVentaDetalle on "
                                    "AlbaranVentaDetalle.Numero=AlbaranVentaCabecera.Numero) left join Cliente on "
                                    "AlbaranVentaCabecera.Cliente=Cliente.Codigo group by AlbaranVentaCabecera.Numero, Fecha, "
                                    "Cliente, Nombre, Factura"));
    bd.crearConsulta(QStringLiteral("ListaFacturas"),
                     QStringLiteral("select FacturaVentaCabecera.Numero as Numero, Fecha, Cliente, Nombre, Pagado, sum(Importe) as Neto "
                                    "from (FacturaVentaCabecera left join FacturaVentaDetalle on "
                                    "FacturaVentaDetalle.Numero=FacturaVentaCabecera.Numero) left join Cliente on "
                                    "FacturaVentaCabecera.Cliente=Cliente.Codigo group by FacturaVentaCabecera.Numero, Fecha, "
                                    "Cliente, Nombre, Pagado"));

    // A few documents, with the nulls those releases left behind.
    bd.ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, NIF, Nombre) VALUES (1, '12345678Z', 'BAR EL PUERTO'), "
                                     "(2, 'B12345674', 'RESTAURANTE LA RIBERA')"));
    bd.ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, Factura) VALUES "
                                     "(1, '2019-03-01', 1, 1), (2, '2019-03-02', 2, NULL)"));
    bd.ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Cada, "
                                     "Cantidad, CanStock) VALUES (1, 1, 1, 1, 1495, 0, 1500, 1500), (1, 2, 25, 5, 110, 2, 3, 3), "
                                     "(2, 1, 9, 2, 1290, 0, 750, 0)"));
    bd.ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaCabecera (Numero, Fecha, Cliente, Albaran, Pagado) VALUES "
                                     "(1, '2019-03-05', 1, 1, 0)"));
    bd.ejecutarNativo(QStringLiteral("INSERT INTO FacturaVentaDetalle (Numero, Linea, Concepto, Referencia, Descripcion, "
                                     "Cantidad, Precio, Unidad, Importe, pIVA) VALUES (1, 1, '', 1, 'TERNERA FILETES', 1.5, 14.95, 0, "
                                     "22.43, 10), (1, 2, '', 25, 'PAN DE BARRA', 3, 1.10, 2, 3.30, 4)"));
    if (series) {
        // That release had already filled what it added.
        for (const char* sql : {"UPDATE Cliente SET UsaREq = 0", "UPDATE AlbaranVentaCabecera SET sFac = 0 WHERE Factura IS NOT NULL",
                                "UPDATE AlbaranVentaDetalle SET Bultos = 0, Envase = 0",
                                "UPDATE FacturaVentaCabecera SET Serie = 0, Descuento = 0, ImporteEnvases = 0",
                                "UPDATE FacturaVentaDetalle SET Serie = 0, pREq = 0, Bultos = 0, Envase = 0"})
            bd.ejecutarNativo(QString::fromLatin1(sql));
    }
}

}  // namespace

void CrearKV740(motor::BaseDeDatos& bd, const Opciones& o)
{
    motor::BaseDeDatos::Transaccion t(bd);
    crearTablasKV740(bd, o);
    if (o.catalogo)
        cargarCatalogo(bd, o);
    if (o.forma != FormaPrograma::Ninguna)
        crearFormaAntigua(bd, o.forma);
    t.commit();
}

QString CrearDemo(const QString& carpeta, const Opciones& o)
{
    QDir().mkpath(carpeta);
    const bool servidor = !o.baseDatos.isEmpty();
    const QString ruta = servidor ? o.baseDatos : QDir(carpeta).absoluteFilePath(QStringLiteral("kv740.db"));
    if (!servidor) {
        QFile::remove(ruta);
        QFile::remove(ruta + QStringLiteral("-wal"));
        QFile::remove(ruta + QStringLiteral("-shm"));
    }
    {
        auto bd = motor::BaseDeDatos::crear(ruta);
        CrearKV740(*bd, o);
    }
    QFile ini(QDir(carpeta).filePath(QStringLiteral("KV740.INI")));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw motor::Error(motor::ErrNoSePuedeAbrir, 0, QStringLiteral("No se puede escribir %1.").arg(ini.fileName()));
    QTextStream out(&ini);
    out << "[KV740]\r\nVersion=3\r\nBaseDatos=" << ruta << "\r\n";
    return ruta;
}

void EscribirTicket(motor::BaseDeDatos& bd, const Ticket& t, qint16 seccion, quint32 semilla)
{
    QRandomGenerator azar(semilla);
    const int total = sizeof(kCatalogo) / sizeof(kCatalogo[0]);
    const int lineas = 1 + static_cast<int>(azar.bounded(5));
    motor::BaseDeDatos::Transaccion tr(bd);
    auto& insertar = bd.preparar(QStringLiteral(
        "INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, impor, linea, cdPLU, canti, preci) "
        "VALUES (?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QString fecha = t.fecha.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    qint64 importe = 0;
    int linea = 0;
    std::vector<std::pair<int, qint32>> articulos;
    for (int i = 0; i < lineas; ++i) {
        const int n = static_cast<int>(azar.bounded(total));
        if (seccion == 3 && kCatalogo[n].depto != 5)
            continue;
        const Articulo& a = kCatalogo[n];
        const qint32 canti = a.cada == 2 ? 1 + static_cast<qint32>(azar.bounded(4)) : 100 + static_cast<qint32>(azar.bounded(1900));
        importe += ImporteLineaCentimos(a.precio, canti, a.cada);
        insertar.vincular({t.docID, t.numTK, t.balanza, t.operador, fecha, 1, Valor(), ++linea, n + 1, canti, a.precio});
        while (insertar.paso()) {
        }
        articulos.emplace_back(n + 1, canti);
    }
    if (t.conAnulacion && !articulos.empty()) {
        insertar.vincular({t.docID, t.numTK, t.balanza, t.operador, fecha, 8, Valor(), ++linea, articulos[0].first, 0, 0});
        while (insertar.paso()) {
        }
    }
    insertar.vincular({t.docID, t.numTK, t.balanza, t.operador, fecha, 15, importe, ++linea, Valor(), Valor(), Valor()});
    while (insertar.paso()) {
    }
    if (t.cancelado) {
        insertar.vincular({t.docID, t.numTK, t.balanza, t.operador, fecha, 16, importe, ++linea, Valor(), Valor(), Valor()});
        while (insertar.paso()) {
        }
    }
    insertar.reiniciar();
    tr.commit();
}

void CargarDocumentosDemo(motor::BaseDeDatos& bd, const QDate& hoy)
{
    motor::BaseDeDatos::Transaccion t(bd);
    struct Cliente {
        const char* nif;
        const char* nombre;
        const char* direccion;
        const char* cp;
        const char* poblacion;
        bool req;
        double descuento;
    };
    const Cliente clientes[] = {
        {"B46123451", "BAR EL PUERTO S.L.", "C/ DEL MAR, 12", "46011", "VALENCIA", false, 0},
        {"12345678Z", "GARCIA LOPEZ, MARIA", "AV. DEL PUERTO, 45", "46023", "VALENCIA", true, 0},
        {"B46987657", "RESTAURANTE LA RIBERA S.L.", "C/ SUECA, 3", "46006", "VALENCIA", false, 5},
        {"23456789D", "MARTINEZ PEREZ, JUAN (ULTRAMARINOS)", "C/ MAYOR, 8", "46120", "ALBORAYA", true, 2},
        {"A46555116", "COMEDOR ESCOLAR SAN JOSE", "C/ ESCUELAS PIAS, 1", "46003", "VALENCIA", false, 0},
        {"34567890V", "NUÑEZ IBAÑEZ, PEPA (CAFETERIA)", "PL. DEL AYUNTAMIENTO, 2", "46002", "VALENCIA", true, 0},
    };
    int codigo = 0;
    for (const Cliente& c : clientes) {
        ++codigo;
        bd.ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, NIF, Nombre, Direccion1, CodPostal, Poblacion, Provincia, "
                                         "UsaREq, DiaPago, Descuento) VALUES (?, ?, ?, ?, ?, ?, 'VALENCIA', ?, 5, ?)"),
                          {codigo, QString::fromLatin1(c.nif), QString::fromUtf8(c.nombre), QString::fromLatin1(c.direccion),
                           QString::fromLatin1(c.cp), QString::fromLatin1(c.poblacion), c.req, c.descuento});
    }
    // The demo shop's own data, at the head of its notes and invoices.
    if (bd.existeTabla(QStringLiteral("Comercio")))
        bd.ejecutarNativo(QStringLiteral("INSERT INTO Comercio (Codigo, Nombre, NIF, Direccion, CodPostal, Poblacion, "
                                         "Provincia, Telefono) VALUES (1, ?, 'B12345674', 'MERCADO CENTRAL, PUESTOS 12-14', "
                                         "'46001', 'VALENCIA', 'VALENCIA', '963 000 000') ON CONFLICT (Codigo) DO UPDATE SET "
                                         "Nombre = excluded.Nombre, NIF = excluded.NIF, Direccion = excluded.Direccion, "
                                         "CodPostal = excluded.CodPostal, Poblacion = excluded.Poblacion, "
                                         "Provincia = excluded.Provincia, Telefono = excluded.Telefono"),
                          {QStringLiteral("ULTRAMARINOS LA DEMOSTRACIÓN, S.L.")});
    // A few delivery notes of the last days, still to invoice.
    int numero = 0;
    for (int dia = 6; dia >= 0; dia -= 2) {
        for (int cliente = 1; cliente <= 3; ++cliente) {
            ++numero;
            bd.ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado, DesctoPP, "
                                             "Observaciones, onLine) VALUES (?, ?, ?, 0, NULL, 0, 0, '', 0)"),
                              {numero, hoy.addDays(-dia), cliente});
            for (int l = 1; l <= 3; ++l) {
                const int n = (numero * 7 + l * 5) % static_cast<int>(sizeof(kCatalogo) / sizeof(kCatalogo[0]));
                const Articulo& a = kCatalogo[n];
                const qint32 cantidad = a.cada == 2 ? 2 + l : 250 * l;
                bd.ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, "
                                                 "Descuento, Cada, Cantidad, CanStock, Bultos, Envase, Comentario) VALUES "
                                                 "(?, ?, ?, ?, ?, 0, ?, ?, 0, 0, ?, NULL)"),
                                  {numero, l, n + 1, a.depto, a.precio, a.cada, cantidad, a.envase});
            }
        }
    }
    t.commit();
    // Closed tickets of today, one cancelled and one with a void.
    for (int i = 1; i <= 6; ++i) {
        Ticket tk;
        tk.docID = i;
        tk.numTK = 100 + i;
        tk.balanza = static_cast<qint16>(1 + i % 2);
        tk.fecha = QDateTime(hoy, QTime(9 + i, 15));
        tk.cancelado = i == 4;
        tk.conAnulacion = i == 2;
        EscribirTicket(bd, tk, 1, static_cast<quint32>(i));
    }
}

namespace {

// The same rows on PostgreSQL: its own counting series, dates and zero-padding.
void GenerarVolumenPG(motor::BaseDeDatos& bd, const Volumen& v, quint32 semilla)
{
    const auto n = [](int x) { return Valor(static_cast<qint64>(x)); };
    const QString ceros6 = QStringLiteral("lpad(%1::text, greatest(6, length(%1::text)), '0')");
    bd.ejecutarNativo(QStringLiteral("DELETE FROM PLUSES WHERE SECCION = 1"));
    bd.ejecutarNativo(QStringLiteral(
                          "INSERT INTO PLUSES (SECCION, CODPLU, NOMPLU, CADA, DEPTO, PRECIO_01, PRECIO_02, PRECIO_03, PRECIO_11, "
                          "PRECIO_12, PRECIO_13, PRECIO_21, PRECIO_22, PRECIO_23, SALIDA, ENVASE) "
                          "SELECT 1, i, 'ARTICULO ' || %1, i % 3, 1 + i % 9, 100 + i % 2000, "
                          "100 + i % 2000, 100 + i % 2000, 95 + i % 2000, 95 + i % 2000, 95 + i % 2000, 90 + i % 2000, "
                          "90 + i % 2000, 90 + i % 2000, 0, 0 FROM generate_series(1, ?1) AS s(i)")
                          .arg(ceros6.arg(QStringLiteral("((i * 7919) % ?1)"))),
                      {n(v.articulos)});
    bd.ejecutarNativo(QStringLiteral(
                          "INSERT INTO Cliente (Codigo, NIF, Nombre, Direccion1, CodPostal, Poblacion, Provincia, UsaREq, DiaPago, "
                          "Descuento, Observaciones) SELECT i, lpad(i::text, greatest(8, length(i::text)), '0') || "
                          "substr('TRWAGMYFPDXBNJZSQVHLCKE', (i % 23 + 1)::int, 1), 'CLIENTE ' || %1, "
                          "'C/ MAYOR ' || i, '46001', 'VALENCIA', 'VALENCIA', (i % 4 = 0)::int, 1 + i % 28, (i % 3) * 2.5, '' "
                          "FROM generate_series(1, ?1) AS s(i)")
                          .arg(ceros6.arg(QStringLiteral("((i * 7907) % ?1)"))),
                      {n(v.clientes)});
    const qint64 seed = static_cast<qint64>(semilla % 1000);
    bd.ejecutarNativo(QStringLiteral(
                          "INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado, DesctoPP, Observaciones, onLine) "
                          "SELECT i, ?2::date - ((i * 31 + ?5) % ?3)::int, 1 + (i * 37) % ?4, 0, NULL, 0, 0, '', 0 "
                          "FROM generate_series(1, ?1) AS s(i)"),
                      {n(v.albaranes), v.hasta.toString(Qt::ISODate), n(v.dias), n(v.clientes), Valor(seed)});
    bd.ejecutarNativo(QStringLiteral(
                          "INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Descuento, Cada, Cantidad, "
                          "CanStock, Bultos, Envase, Comentario) SELECT 1 + i / ?2, 1 + i % ?2, 1 + (i * 13) % ?3, 1 + i % 9, "
                          "100 + i % 2000, 0, i % 3, 1 + (i * 17) % 3000, 0, 0, 0, NULL FROM generate_series(0, ?1 * ?2 - 1) AS s(i)"),
                      {n(v.albaranes), n(v.lineasPorAlbaran), n(v.articulos)});
    bd.ejecutarNativo(QStringLiteral(
                          "INSERT INTO FacturaVentaCabecera (Serie, Numero, Fecha, Cliente, Albaran, Pagado, ImporteEnvases, DesctoPP, "
                          "Descuento, Observaciones) SELECT 1, i, ?2::date - ((i * 29) % ?3)::int, 1 + (i * 37) % ?4, "
                          "NULL, CASE WHEN i % 3 = 0 THEN 0 ELSE 100 END, 0, 0, 0, '' FROM generate_series(1, ?1) AS s(i)"),
                      {n(v.facturas), v.hasta.toString(Qt::ISODate), n(v.dias), n(v.clientes)});
    bd.ejecutarNativo(QStringLiteral(
                          "INSERT INTO FacturaVentaDetalle (Serie, Numero, Linea, Concepto, Referencia, Descripcion, Cantidad, Precio, "
                          "Unidad, Importe, Descuento, pIVA, pREq, Bultos, Envase, Comentario) SELECT 1, 1 + i / 4, 1 + i % 4, '', "
                          "1 + i % 500, 'ARTICULO', 1.5, 10.01, 0, 15.02, 0, CASE WHEN i % 2 = 0 THEN 10 ELSE 21 END, "
                          "CASE WHEN i % 2 = 0 THEN 1.4 ELSE 5.2 END, 0, 0, NULL FROM generate_series(0, ?1 * 4 - 1) AS s(i)"),
                      {n(v.facturas)});
    bd.ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET sFac = 1, Factura = 1 + Numero % ?1 WHERE Numero <= ?2"),
                      {n(v.facturas), n(v.facturas * 2)});
    if (v.tickets > 0) {
        bd.ejecutarNativo(QStringLiteral(
                              "INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, impor, linea, cdPLU, canti, preci) "
                              "SELECT 1 + i / 5, 0, 1 + i / 5, 1, 1, ?2::timestamp - ((i / 5) % ?3) * interval '1 day', "
                              "CASE i % 5 WHEN 4 THEN 15 ELSE 1 END, 1000, 1 + i % 5, 1 + i % 40, 500, 1000 "
                              "FROM generate_series(0, ?1 - 1) AS s(i)"),
                          {n(v.tickets), v.hasta.toString(Qt::ISODate) + QStringLiteral(" 12:00:00"), n(v.dias)});
    }
    bd.ejecutarNativo(QStringLiteral("ANALYZE"));
}

}  // namespace

void GenerarVolumen(motor::BaseDeDatos& bd, const Volumen& v, quint32 semilla)
{
    // One statement per table over a counting sequence: the engine writes the rows itself.
    motor::BaseDeDatos::Transaccion t(bd);
    const auto n = [](int x) { return Valor(static_cast<qint64>(x)); };
    if (bd.esPostgreSQL()) {
        GenerarVolumenPG(bd, v, semilla);
        t.commit();
        return;
    }
    // Each counting sequence's first row carries the bound too: a count of 0 makes no rows, as
    // generate_series does on the server.
    bd.ejecutarNativo(QStringLiteral("DELETE FROM PLUSES WHERE SECCION = 1"));
    bd.ejecutarNativo(QStringLiteral(
                          "WITH RECURSIVE s(i) AS (SELECT 1 WHERE 1 <= ?1 UNION ALL SELECT i + 1 FROM s WHERE i < ?1) "
                          "INSERT INTO PLUSES (SECCION, CODPLU, NOMPLU, CADA, DEPTO, PRECIO_01, PRECIO_02, PRECIO_03, PRECIO_11, "
                          "PRECIO_12, PRECIO_13, PRECIO_21, PRECIO_22, PRECIO_23, SALIDA, ENVASE) "
                          "SELECT 1, i, 'ARTICULO ' || printf('%06d', (i * 7919) % ?1), i % 3, 1 + i % 9, 100 + i % 2000, "
                          "100 + i % 2000, 100 + i % 2000, 95 + i % 2000, 95 + i % 2000, 95 + i % 2000, 90 + i % 2000, "
                          "90 + i % 2000, 90 + i % 2000, 0, 0 FROM s"),
                      {n(v.articulos)});
    bd.ejecutarNativo(QStringLiteral(
                          "WITH RECURSIVE s(i) AS (SELECT 1 WHERE 1 <= ?1 UNION ALL SELECT i + 1 FROM s WHERE i < ?1) "
                          "INSERT INTO Cliente (Codigo, NIF, Nombre, Direccion1, CodPostal, Poblacion, Provincia, UsaREq, DiaPago, "
                          "Descuento, Observaciones) SELECT i, printf('%08d', i) || substr('TRWAGMYFPDXBNJZSQVHLCKE', i % 23 + 1, 1), 'CLIENTE ' || printf('%06d', (i * 7907) % ?1), "
                          "'C/ MAYOR ' || i, '46001', 'VALENCIA', 'VALENCIA', i % 4 = 0, 1 + i % 28, (i % 3) * 2.5, '' FROM s"),
                      {n(v.clientes)});
    const qint64 seed = static_cast<qint64>(semilla % 1000);
    bd.ejecutarNativo(QStringLiteral(
                          "WITH RECURSIVE s(i) AS (SELECT 1 WHERE 1 <= ?1 UNION ALL SELECT i + 1 FROM s WHERE i < ?1) "
                          "INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Factura, Pagado, DesctoPP, Observaciones, onLine) "
                          "SELECT i, date(?2, '-' || ((i * 31 + ?5) % ?3) || ' days'), 1 + (i * 37) % ?4, 0, NULL, 0, 0, '', 0 FROM s"),
                      {n(v.albaranes), v.hasta.toString(Qt::ISODate), n(v.dias), n(v.clientes), Valor(seed)});
    bd.ejecutarNativo(QStringLiteral(
                          "WITH RECURSIVE s(i) AS (SELECT 0 WHERE 0 <= ?1 * ?2 - 1 UNION ALL SELECT i + 1 FROM s WHERE i < ?1 * ?2 - 1) "
                          "INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, Descuento, Cada, Cantidad, "
                          "CanStock, Bultos, Envase, Comentario) SELECT 1 + i / ?2, 1 + i % ?2, 1 + (i * 13) % ?3, 1 + i % 9, "
                          "100 + i % 2000, 0, i % 3, 1 + (i * 17) % 3000, 0, 0, 0, NULL FROM s"),
                      {n(v.albaranes), n(v.lineasPorAlbaran), n(v.articulos)});
    // Invoices in series 1, each of one customer with two rates; their notes point at them.
    bd.ejecutarNativo(QStringLiteral(
                          "WITH RECURSIVE s(i) AS (SELECT 1 WHERE 1 <= ?1 UNION ALL SELECT i + 1 FROM s WHERE i < ?1) "
                          "INSERT INTO FacturaVentaCabecera (Serie, Numero, Fecha, Cliente, Albaran, Pagado, ImporteEnvases, DesctoPP, "
                          "Descuento, Observaciones) SELECT 1, i, date(?2, '-' || ((i * 29) % ?3) || ' days'), 1 + (i * 37) % ?4, "
                          "NULL, CASE WHEN i % 3 = 0 THEN 0 ELSE 100 END, 0, 0, 0, '' FROM s"),
                      {n(v.facturas), v.hasta.toString(Qt::ISODate), n(v.dias), n(v.clientes)});
    bd.ejecutarNativo(QStringLiteral(
                          "WITH RECURSIVE s(i) AS (SELECT 0 WHERE 0 <= ?1 * 4 - 1 UNION ALL SELECT i + 1 FROM s WHERE i < ?1 * 4 - 1) "
                          "INSERT INTO FacturaVentaDetalle (Serie, Numero, Linea, Concepto, Referencia, Descripcion, Cantidad, Precio, "
                          "Unidad, Importe, Descuento, pIVA, pREq, Bultos, Envase, Comentario) SELECT 1, 1 + i / 4, 1 + i % 4, '', "
                          "1 + i % 500, 'ARTICULO', 1.5, 10.01, 0, 15.02, 0, CASE WHEN i % 2 = 0 THEN 10 ELSE 21 END, "
                          "CASE WHEN i % 2 = 0 THEN 1.4 ELSE 5.2 END, 0, 0, NULL FROM s"),
                      {n(v.facturas)});
    bd.ejecutarNativo(QStringLiteral("UPDATE AlbaranVentaCabecera SET sFac = 1, Factura = 1 + Numero % ?1 WHERE Numero <= ?2"),
                      {n(v.facturas), n(v.facturas * 2)});
    if (v.tickets > 0) {
        bd.ejecutarNativo(QStringLiteral(
                              "WITH RECURSIVE s(i) AS (SELECT 0 WHERE 0 <= ?1 - 1 UNION ALL SELECT i + 1 FROM s WHERE i < ?1 - 1) "
                              "INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, impor, linea, cdPLU, canti, preci) "
                              "SELECT 1 + i / 5, 0, 1 + i / 5, 1, 1, datetime(?2, '-' || ((i / 5) % ?3) || ' days'), "
                              "CASE i % 5 WHEN 4 THEN 15 ELSE 1 END, 1000, 1 + i % 5, 1 + i % 40, 500, 1000 FROM s"),
                          {n(v.tickets), v.hasta.toString(Qt::ISODate) + QStringLiteral(" 12:00:00"), n(v.dias)});
    }
    t.commit();
}

QStringList CopiarBase(const QString& origen, const QString& destino)
{
    if (!motor::EsConexionPostgreSQL(destino))
        throw motor::Error(motor::ErrGeneral, 0, QStringLiteral("El destino debe ser una base de datos PostgreSQL."));
    motor::BaseDeDatos o(origen);
    BaseDatos nueva(destino);
    if (!nueva.Abierta())
        throw motor::Error(motor::ErrNoSePuedeAbrir, nueva.CodigoErrorApertura(), nueva.ErrorApertura());
    motor::BaseDeDatos& d = *nueva.Motor();
    if (!d.tablas().isEmpty())
        throw motor::Error(motor::ErrGeneral, 0, QStringLiteral("La base de datos de destino no está vacía: no se copia nada."));
    QStringList informe;
    motor::BaseDeDatos::Transaccion t(d);
    const QStringList tablas = o.tablas();
    for (const QString& tabla : tablas) {
        motor::DefTabla def{tabla, o.campos(tabla), {}};
        // Plain indexes of columns; those over expressions or of some rows only are the
        // program's own, made again by its upgrade below.
        motor::BaseDeDatos::Sentencia& s = o.preparar(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type='index' AND tbl_name=? AND sql IS NOT NULL "
                           "AND sql NOT LIKE '% WHERE %'"));
        s.vincular({tabla});
        QStringList nombres;
        while (s.paso())
            nombres << s.columna(0).aTexto();
        s.reiniciar();
        for (const QString& n : nombres) {
            std::optional<motor::DefIndice> i = o.indice(tabla, n);
            if (!i || i->campos.isEmpty() || i->campos.contains(QString()))
                continue;
            if (i->nombre.startsWith(tabla + QLatin1Char('_'), Qt::CaseInsensitive))
                i->nombre = i->nombre.mid(tabla.size() + 1);
            def.indices.push_back(*i);
        }
        d.crearTabla(def);
        QStringList columnas, marcas;
        for (const motor::DefCampo& c : def.campos) {
            columnas << motor::CitarIdentificador(c.nombre);
            marcas << QStringLiteral("?");
        }
        motor::BaseDeDatos::Sentencia& filas = o.preparar(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                                                              .arg(columnas.join(QLatin1String(", ")), motor::CitarIdentificador(tabla)));
        const QString insertar = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                     .arg(motor::CitarIdentificador(tabla), columnas.join(QLatin1String(", ")),
                                          marcas.join(QLatin1String(", ")));
        filas.vincular({});
        std::vector<Valor> valores(def.campos.size());
        while (filas.paso()) {
            for (size_t i = 0; i < valores.size(); ++i)
                valores[i] = filas.columna(static_cast<int>(i));
            d.ejecutarNativo(insertar, valores);
        }
        filas.reiniciar();
    }
    // The program's relations, as its upgrade makes them.
    const std::pair<QString, QString> numero{QStringLiteral("Numero"), QStringLiteral("Numero")};
    const std::pair<QString, QString> serie{QStringLiteral("Serie"), QStringLiteral("Serie")};
    const std::pair<QString, QString> cliente{QStringLiteral("Codigo"), QStringLiteral("Cliente")};
    const bool conSeries = o.existeCampo(QStringLiteral("FacturaVentaDetalle"), QStringLiteral("Serie"));
    const motor::DefRelacion relaciones[] = {
        {QStringLiteral("relAlbaran"), QStringLiteral("AlbaranVentaCabecera"), QStringLiteral("AlbaranVentaDetalle"), {numero}, true, true},
        {QStringLiteral("relFactura"), QStringLiteral("FacturaVentaCabecera"), QStringLiteral("FacturaVentaDetalle"),
         conSeries ? std::vector{serie, numero} : std::vector{numero}, true, true},
        {QStringLiteral("relCliAlb"), QStringLiteral("Cliente"), QStringLiteral("AlbaranVentaCabecera"), {cliente}, true, false},
        {QStringLiteral("relCliFac"), QStringLiteral("Cliente"), QStringLiteral("FacturaVentaCabecera"), {cliente}, true, false},
    };
    for (const motor::DefRelacion& r : relaciones)
        if (o.existeRelacion(r.nombre) && !d.existeRelacion(r.nombre))
            d.crearRelacion(r);
    nueva.CrearTablasNuevas();

    // Both sides agree, or nothing is kept.
    auto comparar = [&](const QString& que, const QString& sql) {
        const Valor a = o.valorUnico(sql), b = d.valorUnico(sql);
        const bool igual = (a.esNulo() && b.esNulo()) || (!a.esNulo() && !b.esNulo() && std::abs(a.aNumero() - b.aNumero()) < 0.005);
        if (!igual)
            throw motor::Error(motor::ErrGeneral, 0,
                               QStringLiteral("La copia no coincide con el original en %1: %2 frente a %3. No se ha copiado nada.")
                                   .arg(que, a.aTexto(), b.aTexto()));
        informe << QStringLiteral("%1: %2").arg(que, a.esNulo() ? QStringLiteral("-") : a.aTexto());
    };
    for (const QString& tabla : tablas)
        comparar(tabla, QStringLiteral("select count(*) from %1").arg(motor::CitarIdentificador(tabla)));
    if (o.existeConsulta(QStringLiteral("ListaFacturas")))
        for (const char* c : {"Neto", "IVA", "REq"})
            comparar(QStringLiteral("ListaFacturas.%1").arg(QLatin1String(c)),
                     QStringLiteral("select sum(%1) from ListaFacturas").arg(QLatin1String(c)));
    if (o.existeConsulta(QStringLiteral("ListaAlbaranes")))
        comparar(QStringLiteral("ListaAlbaranes.Importe"), QStringLiteral("select sum(Importe) from ListaAlbaranes"));
    if (o.existeConsulta(QStringLiteral("ListaBasesImponibles")))
        comparar(QStringLiteral("ListaBasesImponibles.Base"), QStringLiteral("select sum(Base) from ListaBasesImponibles"));
    t.commit();
    return informe;
}

}  // namespace kv740
