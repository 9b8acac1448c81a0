// kv740sim: creates demo KV740 databases and plays the scale line on them.
//
//   kv740sim crear CARPETA [--sin-almacenes] [--solo-kv740] [--forma primera|series] [--verifactu NIF "Razón social"]
//                          [--base-datos CONEXION]   (an empty PostgreSQL database instead of CARPETA/kv740.db)
//   kv740sim balanza CARPETA [--intervalo MS] [--tickets N]
//   kv740sim volumen CARPETA [--albaranes N] [--lineas N] [--clientes N] [--articulos N] [--facturas N] [--tickets N]
//                            [--base-datos CONEXION]
//   kv740sim copiar CARPETA CONEXION   (the folder's SQLite database into an empty PostgreSQL one)

#include "archivoini.h"
#include "basedatos.h"
#include "kv740.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QThread>

#include <cstdio>

namespace {

int uso()
{
    std::fprintf(stderr,
                 "Uso:\n"
                 "  kv740sim crear CARPETA [--sin-almacenes] [--solo-kv740] [--forma primera|series] [--verifactu NIF \"Razón social\"]\n"
                 "                 [--base-datos CONEXION]  (una base de datos PostgreSQL vacía, p. ej. postgresql://usuario@servidor/kv740)\n"
                 "  kv740sim balanza CARPETA [--intervalo MS] [--tickets N]\n"
                 "  kv740sim copiar CARPETA CONEXION  (copia la base de datos de CARPETA en una PostgreSQL vacía)\n"
                 "  kv740sim volumen CARPETA [--albaranes N] [--lineas N] [--clientes N] [--articulos N] [--facturas N] [--tickets N]\n");
    return 2;
}

QString opcion(const QStringList& args, const QString& nombre, const QString& porDefecto = {})
{
    const qsizetype i = args.indexOf(nombre);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : porDefecto;
}

QString rutaDe(const QString& carpeta)
{
    ArchivoIni ini(QDir(carpeta).filePath(QStringLiteral("KV740.INI")));
    return ini.leer(QStringLiteral("BaseDatos"));
}

void preparar(const QString& ruta, bool demo)
{
    BaseDatos bd(ruta);
    if (!bd.Abierta())
        throw motor::Error(motor::ErrNoSePuedeAbrir, 0, bd.ErrorApertura());
    bd.CrearTablasNuevas();
    if (demo)
        kv740::CargarDocumentosDemo(*bd.Motor(), QDate::currentDate());
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2)
        return uso();
    const QString orden = args[0];
    const QString carpeta = QDir(args[1]).absolutePath();
    try {
        if (orden == QLatin1String("crear")) {
            kv740::Opciones o;
            o.almacenes = !args.contains(QStringLiteral("--sin-almacenes"));
            const QString forma = opcion(args, QStringLiteral("--forma"));
            o.forma = forma == QLatin1String("primera") ? kv740::FormaPrograma::Primera
                : forma == QLatin1String("series")     ? kv740::FormaPrograma::ConSeries
                                                        : kv740::FormaPrograma::Ninguna;
            o.baseDatos = opcion(args, QStringLiteral("--base-datos"));
            if (args.contains(QStringLiteral("--base-datos")) && !motor::EsConexionPostgreSQL(o.baseDatos)) {
                std::fprintf(stderr, "kv740sim: --base-datos espera una conexión PostgreSQL (postgresql://... o host=... dbname=...)\n");
                return 2;
            }
            const QString ruta = kv740::CrearDemo(carpeta, o);
            if (!args.contains(QStringLiteral("--solo-kv740")) && o.forma == kv740::FormaPrograma::Ninguna)
                preparar(ruta, true);
            // The invoice records on from the start, for a test issuer; the demo's invoices
            // stay as issued before.
            if (const qsizetype v = args.indexOf(QStringLiteral("--verifactu")); v >= 0) {
                if (v + 2 >= args.size())
                    return uso();
                preparar(ruta, false);
                BaseDatos bd(ruta);
                bd.GuardarVerifactu({true, args[v + 1], args[v + 2], QStringLiteral("1"), {}, true});
            }
            std::printf("Base de datos de demostración: %s\n", qPrintable(ruta));
            return 0;
        }
        if (orden == QLatin1String("copiar")) {
            if (args.size() < 3)
                return uso();
            const QString origen = rutaDe(carpeta);
            for (const QString& l : kv740::CopiarBase(origen, args[2]))
                std::printf("%s\n", qPrintable(l));
            std::printf("Copiada %s en %s. El original no se ha tocado; para usar la copia, ponga la conexión en la clave "
                        "BaseDatos de KV740.INI.\n", qPrintable(origen), qPrintable(args[2]));
            return 0;
        }
                if (orden == QLatin1String("volumen")) {
            kv740::Volumen v;
            v.albaranes = opcion(args, QStringLiteral("--albaranes"), QStringLiteral("100000")).toInt();
            v.lineasPorAlbaran = opcion(args, QStringLiteral("--lineas"), QStringLiteral("10")).toInt();
            v.clientes = opcion(args, QStringLiteral("--clientes"), QStringLiteral("20000")).toInt();
            v.articulos = opcion(args, QStringLiteral("--articulos"), QStringLiteral("50000")).toInt();
            v.facturas = opcion(args, QStringLiteral("--facturas"), QStringLiteral("30000")).toInt();
            v.tickets = opcion(args, QStringLiteral("--tickets"), QStringLiteral("0")).toInt();
            v.hasta = QDate::currentDate();
            kv740::Opciones o;
            o.baseDatos = opcion(args, QStringLiteral("--base-datos"));
            const QString ruta = kv740::CrearDemo(carpeta, o);
            preparar(ruta, false);
            motor::BaseDeDatos bd(ruta);
            kv740::GenerarVolumen(bd, v);
            std::printf("Base de datos generada: %s\n", qPrintable(ruta));
            return 0;
        }
        if (orden == QLatin1String("balanza")) {
            const QString ruta = rutaDe(carpeta);
            motor::BaseDeDatos bd(ruta);
            const int intervalo = opcion(args, QStringLiteral("--intervalo"), QStringLiteral("5000")).toInt();
            const int tickets = opcion(args, QStringLiteral("--tickets"), QStringLiteral("0")).toInt();
            BaseDatos datos(ruta);
            qint16 seccion = 1, tarifa = 0;
            qint32 almacen = 0;
            TablaDepartamentos ivas{};
            datos.DatosGrupo(1, seccion, tarifa, almacen, ivas);
            qint32 doc = static_cast<qint32>(bd.valorUnico(QStringLiteral("select max(docID) from Transacs")).aEntero());
            std::printf("Escribiendo tickets en %s cada %d ms (Ctrl+C para terminar)\n", qPrintable(ruta), intervalo);
            for (int n = 0; tickets == 0 || n < tickets; ++n) {
                kv740::Ticket t;
                t.docID = ++doc;
                t.numTK = doc;
                t.balanza = static_cast<qint16>(1 + doc % 3);
                t.operador = static_cast<qint16>(1 + doc % 4);
                t.fecha = QDateTime::currentDateTime();
                t.cancelado = doc % 9 == 0;
                t.conAnulacion = doc % 4 == 0;
                kv740::EscribirTicket(bd, t, seccion, static_cast<quint32>(doc));
                std::printf("Ticket %d%s\n", doc, t.cancelado ? " (anulado)" : "");
                std::fflush(stdout);
                if (tickets == 0 || n + 1 < tickets)
                    QThread::msleep(static_cast<unsigned long>(intervalo));
            }
            return 0;
        }
    } catch (const motor::Error& e) {
        std::fprintf(stderr, "Error: %s\n", qPrintable(e.mensaje()));
        return 1;
    } catch (const ErrorActualizacion& e) {
        std::fprintf(stderr, "Error en el paso %d de la actualización: %s\n", e.paso(), qPrintable(e.mensaje()));
        return 1;
    }
    return uso();
}
