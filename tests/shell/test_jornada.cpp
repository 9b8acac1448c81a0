// A shop's day on the real program: the quenza executable runs on a fresh demo database while
// the scale line writes tickets, and a driver loaded into it (conductor_jornada.cpp) works its
// windows by their object names: a new customer, a ticket turned into a note, a note typed by
// hand, both invoiced together, the invoice printed and settled, the settled list and its
// listing printed, "Terminar". Then the file and the printed PDFs are checked from outside,
// with the sqlite3 shell and pdftotext, as anyone looking at the shop's data would.

#include "colapdf.h"
#include "comun_shell.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

// Rows of a query through the sqlite3 shell, columns split on '|'.
std::vector<QStringList> Sqlite(const QString& base, const QString& sql)
{
    QProcess p;
    p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), QStringLiteral("-readonly"), base, sql});
    p.waitForFinished(20000);
    std::vector<QStringList> filas;
    const QString salida = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& linea : salida.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        filas.push_back(linea.split(QLatin1Char('|')));
    const QString error = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(error.isEmpty()) << "sqlite3 «" << sql.toStdString() << "»: " << error.toStdString();
    return filas;
}
QString Valor(const QString& base, const QString& sql)
{
    const auto filas = Sqlite(base, sql);
    return filas.empty() ? QString() : filas.front().join(QLatin1Char('|'));
}

// What the driver reported: the steps it began, its data and how the day ended.
struct Informe {
    QStringList pasos;
    std::map<QString, QString> datos;
    QString fallo;
    bool fin = false;

    explicit Informe(const QString& ruta)
    {
        QFile f(ruta);
        if (!f.open(QIODevice::ReadOnly))
            return;
        for (const QString& linea : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (linea.startsWith(QLatin1String("PASO ")))
                pasos << linea.mid(5);
            else if (linea.startsWith(QLatin1String("DATO ")))
                datos[linea.mid(5).section(QLatin1Char('='), 0, 0)] = linea.section(QLatin1Char('='), 1);
            else if (linea.startsWith(QLatin1String("FALLO ")))
                fallo = linea.mid(6);
            else if (linea == QLatin1String("FIN"))
                fin = true;
        }
    }
    QString ultimoPaso() const { return pasos.isEmpty() ? QStringLiteral("(ninguno: la ventana principal no llegó a abrirse)") : pasos.last(); }
};

// Amounts in a PDF line, whatever separators the locale used ("1.234,56" or "1,234.56").
std::vector<double> Importes(const QString& linea)
{
    std::vector<double> importes;
    static const QRegularExpression numero(QStringLiteral("-?\\d[\\d.,]*[.,]\\d\\d\\b"));
    for (auto it = numero.globalMatch(linea); it.hasNext();) {
        QString t = it.next().captured();
        const QChar decimal = t.at(t.size() - 3);
        t.remove(decimal == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(',')).replace(decimal, QLatin1Char('.'));
        importes.push_back(t.toDouble());
    }
    return importes;
}
bool Contiene(const std::vector<double>& importes, double valor)
{
    for (double d : importes)
        if (std::abs(d - valor) < 0.005)
            return true;
    return false;
}

const char* kCliente = "ULTRAMARINOS JORNADA";

TEST(JornadaDeTienda, TicketAndTypedNoteAreInvoicedPrintedAndSettledThroughTheRealProgram)
{
    AplicacionDePrueba();
    if (const QString motivo = ColaPdfNoDisponible(); !motivo.isEmpty())
        GTEST_SKIP() << "the day prints on the PDF queue: " << motivo.toStdString();
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
        GTEST_SKIP() << "the day is checked with the sqlite3 shell, which is not installed";

    // The program in a folder of its own, with its settings file, masks and listings.
    QTemporaryDir programa, home;
    const QString exe = CopiaDelPrograma(programa, home.path(),
                                         "NombreEmpresa=ULTRAMARINOS LA DEMOSTRACIÓN, S.L.\nPrecio=0\nIVADesglosado=True\n"
                                         "[RecargoEquivalencia]\nDept01=1,4\nDept02=1,4\nDept03=1,4\nDept04=1,4\n"
                                         "Dept05=0,5\nDept06=0,5\nDept07=5,2\nDept08=5,2\nDept09=0,5\n");
    for (const QFileInfo& fi : QDir(QStringLiteral(QUENZA_DATA_DIR)).entryInfoList({QStringLiteral("*.txt"), QStringLiteral("*.lst")}))
        ASSERT_TRUE(QFile::copy(fi.absoluteFilePath(), programa.filePath(fi.fileName())));
    const QString db = kv740::CrearDemo(home.path());
    const QString ultimoTicket = Valor(db, QStringLiteral("select max(docID) from Transacs"));
    // A weighed article and one sold by the unit, from the demo catalogue.
    const QString pesado = Valor(db, QStringLiteral("select min(CODPLU) from PLUSES where SECCION=1 and CADA=0"));
    const QString unidad = Valor(db, QStringLiteral("select min(CODPLU) from PLUSES where SECCION=1 and CADA=2"));
    ASSERT_FALSE(pesado.isEmpty() || unidad.isEmpty()) << "the demo catalogue lacks a weighed or a unit article";

    // The scale line writes tickets while the shop works.
    QProcess balanza;
    balanza.start(QStringLiteral(KV740SIM), {QStringLiteral("balanza"), home.path(), QStringLiteral("--intervalo"),
                                             QStringLiteral("600"), QStringLiteral("--tickets"), QStringLiteral("8")});
    ASSERT_TRUE(balanza.waitForStarted(5000));

    const QString informe = programa.filePath(QStringLiteral("jornada.txt"));
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    entorno.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(QUENZA_CONDUCTOR_JORNADA));
    entorno.insert(QStringLiteral("QUENZA_JORNADA_INFORME"), informe);
    entorno.insert(QStringLiteral("QUENZA_JORNADA_IMPRESORA"), kColaPdf);
    entorno.insert(QStringLiteral("QUENZA_JORNADA_ULTIMO_TICKET"), ultimoTicket);
    entorno.insert(QStringLiteral("QUENZA_JORNADA_ARTICULOS"), pesado + QLatin1Char(',') + unidad);
    // cups-pdf stamps whole seconds.
    const QDateTime desde = QDateTime::currentDateTime().addSecs(-1);
    QProcess quenza;
    quenza.setProcessEnvironment(entorno);
    quenza.setProcessChannelMode(QProcess::MergedChannels);
    quenza.start(exe, {});
    ASSERT_TRUE(quenza.waitForStarted(5000));
    const bool acabado = quenza.waitForFinished(60000);
    if (!acabado) {
        quenza.kill();
        quenza.waitForFinished(5000);
    }
    balanza.kill();
    balanza.waitForFinished(5000);
    const QString salida = QString::fromUtf8(quenza.readAll());
    const Informe dia(informe);
    ASSERT_TRUE(acabado) << "the program did not end within 60 s; it was in step " << dia.ultimoPaso().toStdString()
                         << "\n" << salida.toStdString();
    ASSERT_TRUE(dia.fallo.isEmpty()) << dia.fallo.toStdString() << "\nprogram output:\n" << salida.toStdString();
    ASSERT_TRUE(dia.fin) << "the day stopped in step " << dia.ultimoPaso().toStdString() << " (exit code " << quenza.exitCode()
                         << ")\n" << salida.toStdString();
    ASSERT_EQ(quenza.exitStatus(), QProcess::NormalExit) << "after \"Terminar\": " << salida.toStdString();
    EXPECT_EQ(quenza.exitCode(), 0) << "after \"Terminar\": " << salida.toStdString();
    EXPECT_FALSE(salida.contains(QStringLiteral("terminate called"))) << salida.toStdString();

    const QString cliente = dia.datos.at(QStringLiteral("cliente"));
    const QString factura = dia.datos.at(QStringLiteral("factura"));
    const QString ticket = dia.datos.at(QStringLiteral("ticket"));
    const int notaTicket = dia.datos.at(QStringLiteral("albaran_ticket")).toInt();
    const int notaTecleada = dia.datos.at(QStringLiteral("albaran_tecleado")).toInt();
    const QString notas = QStringLiteral("%1|%2").arg(std::min(notaTicket, notaTecleada)).arg(std::max(notaTicket, notaTecleada));

    // The database, through the sqlite3 shell.
    SCOPED_TRACE("checks on the closed file with sqlite3");
    EXPECT_EQ(Valor(db, QStringLiteral("pragma integrity_check")), QStringLiteral("ok")) << "integrity check";
    EXPECT_EQ(Valor(db, QStringLiteral("select Nombre||'|'||UsaREq from Cliente where Codigo=%1").arg(cliente)),
              QStringLiteral("%1|1").arg(QLatin1String(kCliente)))
        << "the customer added in «Clientes», with surcharge";
    EXPECT_EQ(Valor(db, QStringLiteral("select count(*)||'|'||min(Numero) from FacturaVentaCabecera where Cliente=%1").arg(cliente)),
              QStringLiteral("1|") + factura)
        << "one invoice for the customer, the one the invoice list showed";
    EXPECT_EQ(Valor(db, QStringLiteral("select group_concat(Numero, '|') from (select Numero from AlbaranVentaCabecera "
                                       "where Cliente=%1 and Factura=%2 and sFac=0 order by Numero)").arg(cliente, factura)),
              notas)
        << "both notes of the day (ticket and typed) linked to invoice " << factura.toStdString();
    EXPECT_EQ(Valor(db, QStringLiteral("select count(*) from AlbaranVentaCabecera where Cliente=%1").arg(cliente)), QStringLiteral("2"))
        << "the customer has only the two notes";
    EXPECT_EQ(Valor(db, QStringLiteral("select onLine from AlbaranVentaCabecera where Numero=%1").arg(notaTicket)),
              QStringLiteral("1"))
        << "the note from the ticket is marked as made on line";
    // Each note line became an invoice line (detail by note adds one title line per note).
    EXPECT_EQ(Valor(db, QStringLiteral("select count(*) from FacturaVentaDetalle where Serie=0 and Numero=%1 and Referencia>0").arg(factura)),
              Valor(db, QStringLiteral("select count(*) from AlbaranVentaDetalle d join AlbaranVentaCabecera c on c.Numero=d.Numero "
                                       "where c.Cliente=%1").arg(cliente)))
        << "one invoice line per note line";
    EXPECT_EQ(Valor(db, QStringLiteral("select count(*) from FacturaVentaDetalle where Serie=0 and Numero=%1 and Concepto like 'Albar%Nº%'").arg(factura)),
              QStringLiteral("2"))
        << "a title line for each note";
    EXPECT_EQ(Valor(db, QStringLiteral("select count(*) from AlbaranVentaDetalle where Numero=%1 and Comentario='ENTREGAR ANTES DE LAS 10'")
                            .arg(notaTecleada)),
              QStringLiteral("1"))
        << "the comment typed under a line of the typed note";
    EXPECT_EQ(Valor(db, QStringLiteral("select Bultos||'|'||Envase from AlbaranVentaDetalle where Numero=%1 and Articulo=%2")
                            .arg(notaTecleada).arg(pesado)),
              QStringLiteral("3|45"))
        << "the packaging line of the typed note: 3 packages at 0.45";
    // Stock: every line discounted once, and KV740's stock moved by exactly that.
    EXPECT_EQ(Valor(db, QStringLiteral("select count(*) from AlbaranVentaDetalle d join AlbaranVentaCabecera c on c.Numero=d.Numero "
                                       "where c.Cliente=%1 and (d.CanStock is null or d.CanStock<>d.Cantidad)").arg(cliente)),
              QStringLiteral("0"))
        << "every line of both notes has its whole quantity discounted";
    for (const QStringList& fila : Sqlite(db, QStringLiteral("select d.Articulo, sum(d.Cantidad), (select sum(Venta) from MovsAlm m "
                                                             "where m.Codigo=d.Articulo and m.Seccion=1) from AlbaranVentaDetalle d "
                                                             "join AlbaranVentaCabecera c on c.Numero=d.Numero where c.Cliente=%1 "
                                                             "group by d.Articulo").arg(cliente)))
        EXPECT_EQ(fila.value(2), fila.value(1)) << "stock sold of article " << fila.value(0).toStdString()
                                                << " equals the quantity of its lines (moved once)";
    EXPECT_EQ(Valor(db, QStringLiteral("select count(*)||'|'||min(tagID)||'|'||max(tagID) from Transacs where docID=%1 and tipoT=1").arg(ticket)).section(QLatin1Char('|'), 1),
              QStringLiteral("1|1"))
        << "ticket " << ticket.toStdString() << " marked once as turned into a note";
    // Settled, as ListaFacturas computes it.
    const auto lista = Sqlite(db, QStringLiteral("select round(Neto+IVA+REq, 2), round(Neto+IVA+REq+sEnvases, 2), round(Pagado, 2), sEnvases, REq "
                                                 "from ListaFacturas where Serie=0 and Numero=%1").arg(factura));
    ASSERT_EQ(lista.size(), 1u) << "invoice " << factura.toStdString() << " in ListaFacturas";
    const double total = lista[0].value(0).toDouble();
    const double conEnvases = lista[0].value(1).toDouble();
    EXPECT_DOUBLE_EQ(lista[0].value(2).toDouble(), conEnvases) << "the invoice is settled: paid equals its total with packaging";
    EXPECT_NEAR(lista[0].value(3).toDouble(), 1.35, 0.001) << "packaging of the invoice: 3 x 0.45";
    EXPECT_GT(lista[0].value(4).toDouble(), 0) << "a customer with surcharge pays it";
    EXPECT_EQ(dia.datos.at(QStringLiteral("total_lista")), QLocale(QLocale::Spanish, QLocale::Spain).toString(conEnvases, 'f', 2))
        << "the invoice list showed the total of ListaFacturas with packaging";

    // The printed invoice and listing, from the PDF queue.
    SCOPED_TRACE("checks on the PDFs the queue wrote");
    const QStringList pdfs = PdfsNuevos(desde, 2, {QLatin1String(kCliente)}, 60000);
    QString pdfFactura, pdfListado;
    for (const QString& t : pdfs)
        (t.contains(QStringLiteral("TOTAL FACTURA")) ? pdfFactura : pdfListado) = t;
    ASSERT_FALSE(pdfFactura.isEmpty()) << "the invoice printed on the PDF queue (" << pdfs.size() << " PDFs of the day in "
                                       << CarpetasColaPdf().join(QStringLiteral(", ")).toStdString() << ")";
    QString lineaTotal;
    for (const QString& l : pdfFactura.split(QLatin1Char('\n')))
        if (l.contains(QStringLiteral("Total con envases")))
            lineaTotal = l;
    EXPECT_TRUE(Contiene(Importes(lineaTotal), conEnvases))
        << "the invoice's «Total con envases» shows " << conEnvases << " (ListaFacturas total " << total << " plus packaging); "
        << "the line reads «" << lineaTotal.toStdString() << "»\n" << pdfFactura.toStdString();
    EXPECT_TRUE(pdfFactura.contains(factura.rightJustified(6, QLatin1Char('0'))) || pdfFactura.contains(factura))
        << "the invoice number on the printed invoice\n" << pdfFactura.toStdString();
    ASSERT_FALSE(pdfListado.isEmpty()) << "the invoice listing by customer printed on the PDF queue";
    QString lineaListado;
    for (const QString& l : pdfListado.split(QLatin1Char('\n')))
        if (l.contains(QLatin1String(kCliente)) && l.contains(factura.rightJustified(6, QLatin1Char('0'))))
            lineaListado = l;
    const std::vector<double> importes = Importes(lineaListado);
    EXPECT_TRUE(Contiene(importes, conEnvases) && std::count_if(importes.begin(), importes.end(), [](double d) { return d < 0; }) == 0)
        << "the listing's line of invoice " << factura.toStdString() << " shows its total " << conEnvases
        << " and nothing negative owed; it reads «" << lineaListado.toStdString() << "»\n" << pdfListado.toStdString();
}

}  // namespace
