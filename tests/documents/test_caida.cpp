#include "albaran.h"
#include "albaranes.h"
#include "documentos_prueba.h"
#include "servidorpropio.h"
#include "verifactu.h"

#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// The server stops while a save is half way through its transaction: the save waits on a lock
// the test holds, at the row a trigger picks, and the server is stopped while it waits.
class Caida : public DocumentosDePrueba {
protected:
    void SetUp() override
    {
        propia = std::make_unique<BaseEnServidorPropio>();
        if (!propia->motivo.isEmpty())
            GTEST_SKIP() << propia->motivo.toStdString();
        servidor = propia->servidor.get();
        conexion = propia->conexion;
        base = std::move(propia->base);
        bd = std::make_unique<BaseDatos>(base->ruta);
        ASSERT_TRUE(bd->Abierta());
        bd->CrearTablasNuevas();
        Global::Precio = 0;
        bd->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));
    }
    void TearDown() override
    {
        if (vigia.joinable())
            vigia.join();
        DocumentosDePrueba::TearDown();
    }

    // How long the watcher looks for the save waiting on the lock; the save's wait outlasts it,
    // so that a stop that comes late on a loaded machine is still a stop in the middle of the
    // save (the program's own lock_timeout, a few seconds, would end the wait first and the save
    // would fail as for a lock held by another station).
    static constexpr int kVigiaSegundos = 120;

    // Writing the row of `tabla` that `condicion` (on NEW) picks waits on the test's lock.
    void esperarEn(const QString& tabla, const QString& condicion)
    {
        m().ejecutarNativo(QStringLiteral("CREATE FUNCTION prueba_espera() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN IF %1 THEN "
                                          "PERFORM set_config('lock_timeout', '%2s', true); "
                                          "PERFORM pg_advisory_lock_shared(4242); END IF; RETURN NEW; END$$")
                               .arg(condicion)
                               .arg(kVigiaSegundos + 30));
        m().ejecutarNativo(QStringLiteral("CREATE TRIGGER prueba_espera BEFORE INSERT ON %1 FOR EACH ROW EXECUTE FUNCTION prueba_espera()")
                               .arg(tabla));
        cerrojo = std::make_unique<motor::BaseDeDatos>(conexion);
        cerrojo->valorUnico(QStringLiteral("SELECT pg_advisory_lock(4242)"));
    }
    // Stops the server (`modo` as pg_ctl takes it) as soon as a save waits on the lock.
    void detenerAlEsperar(const QString& modo)
    {
        vigia = std::thread([this, modo] {
            try {
                motor::BaseDeDatos mirador(conexion);
                const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(kVigiaSegundos);
                while (std::chrono::steady_clock::now() < limite) {
                    if (mirador.valorUnico(QStringLiteral("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND "
                                                          "objid = 4242 AND NOT granted"))
                            .aEntero()
                        > 0) {
                        detenido = servidor->detener(modo);
                        if (!detenido)
                            porQue = "pg_ctl stop failed: " + servidor->salida().toStdString();
                        return;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
                porQue = "no save waited on the lock";
            } catch (const std::exception& e) {
                porQue = e.what();
            }
        });
    }
    // After the stop: the server back, without the test's trigger.
    void volver()
    {
        vigia.join();
        ASSERT_TRUE(detenido) << "the server was not stopped in the middle of the save: " << porQue;
        cerrojo.reset();
        ASSERT_TRUE(servidor->iniciar()) << servidor->salida().toStdString();
        motor::BaseDeDatos limpia(conexion);
        limpia.ejecutarNativo(QStringLiteral("DROP TRIGGER prueba_espera ON %1").arg(tablaEspera));
    }
    // What the user is told: Spanish, about the server, with none of the engine's own words.
    static void esAvisoDeServidor(const QString& texto)
    {
        EXPECT_TRUE(texto.contains(QStringLiteral("servidor de la base de datos"))) << texto.toStdString();
        static const QRegularExpression ingles(QStringLiteral("\\b(server|connection|terminating|closed|unexpectedly|"
                                                              "administrator|FATAL|ERROR)\\b"));
        EXPECT_FALSE(ingles.match(texto).hasMatch()) << texto.toStdString();
    }

    std::unique_ptr<BaseEnServidorPropio> propia;
    ServidorPropio* servidor = nullptr;
    QString conexion;
    QString tablaEspera;
    std::unique_ptr<motor::BaseDeDatos> cerrojo;
    std::thread vigia;
    std::atomic<bool> detenido{false};
    std::string porQue;  // why the watcher did not stop the server; read once it has ended
};

TEST_F(Caida, ServerStoppedDuringBatchInvoicingLeavesWholeInvoicesAndTheNextRunBillsTheRest)
{
    bd->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), {}, {}, true});
    // Five customers of eight notes of three lines: an invoice of 32 lines each.
    constexpr int kClientes = 5, kNotas = 8;
    for (int c = 1; c <= kClientes; ++c)
        cliente(c, QStringLiteral("CLIENTE %1").arg(c));
    {
        motor::BaseDeDatos::Transaccion t(m());
        for (int n = 1; n <= kClientes * kNotas; ++n) {
            m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Fecha, Cliente, sFac, Pagado, DesctoPP, "
                                              "Observaciones, onLine) VALUES (?, ?, ?, 0, 0, 0, '', 0)"),
                               {n, QDate(2024, 3, 1).addDays(n % 28).toString(Qt::ISODate), 1 + (n - 1) / kNotas});
            for (qint16 l = 1; l <= 3; ++l)
                m().ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaDetalle (Numero, Linea, Articulo, Departamento, Precio, "
                                                  "Descuento, Cada, Cantidad, CanStock, Bultos, Envase) VALUES (?, ?, 1, 1, ?, 0, 2, ?, 0, 0, 0)"),
                                   {n, l, 100 * n + l, l});
        }
        t.commit();
    }
    // The third customer's invoice stops at its fifth line.
    tablaEspera = QStringLiteral("FacturaVentaDetalle");
    esperarEn(tablaEspera, QStringLiteral("NEW.numero = 3 AND NEW.linea = 5"));

    auto facturar = [&](qint16& facturas, qint16& facturados) {
        Albaranes lote(*bd);
        lote.WhoAmI();
        QObject::connect(&lote, &Albaranes::AntesDeFacturar,
                         [](qint16&, qint16& serie, QDate& fecha, qint16& detalle, bool&, bool&, bool&) {
                             serie = 1;
                             fecha = QDate(2024, 3, 31);
                             detalle = 3;
                         });
        QObject::connect(&lote, &Albaranes::DespuesDeFacturar, [&](qint16& f, qint16& a, qint16&) {
            facturas = f;
            facturados = a;
        });
        lote.Facturar();
        return lote.UltimoError();
    };
    detenerAlEsperar(QStringLiteral("fast"));
    qint16 facturas = -1, facturados = -1;
    const QString aviso = facturar(facturas, facturados);
    esAvisoDeServidor(aviso);
    EXPECT_EQ(facturas, 2);
    EXPECT_EQ(facturados, 2 * kNotas);
    volver();

    // Checked on a connection of its own, then the next run on the program's, which reconnects.
    auto comprobar = [&](int facturasEsperadas, const char* cuando) {
        SCOPED_TRACE(cuando);
        motor::BaseDeDatos c(conexion);
        auto uno = [&c](const QString& sql) { return c.valorUnico(sql).aEntero(); };
        EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera")), facturasEsperadas);
        // Numbered 1 to n without a gap.
        EXPECT_EQ(uno(QStringLiteral("select coalesce(max(Numero), 0) from FacturaVentaCabecera where Serie = 1")), facturasEsperadas);
        // Every invoice whole: one line naming each of its notes plus their three lines.
        EXPECT_EQ(uno(QStringLiteral("select count(*) from FacturaVentaCabecera f where (select count(*) from FacturaVentaDetalle d "
                                     "where d.Serie = f.Serie and d.Numero = f.Numero) <> %1")
                          .arg(4 * kNotas)),
                  0);
        // A note is billed exactly when an invoice names it, and by one invoice only.
        EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Factura is not null")),
                  facturasEsperadas * kNotas);
        EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera a where (select count(*) from FacturaVentaDetalle d "
                                     "where d.Concepto like 'Albarán Nº' || a.Numero || ' de fecha %') <> "
                                     "case when a.Factura is null then 0 else 1 end")),
                  0);
        EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera a where a.Factura is not null and not exists "
                                     "(select 1 from FacturaVentaDetalle d where d.Serie = a.sFac and d.Numero = a.Factura and "
                                     "d.Concepto like 'Albarán Nº' || a.Numero || ' de fecha %')")),
                  0);
        // One record per invoice, in one chain.
        EXPECT_EQ(uno(QStringLiteral("select count(*) from RegistroFacturacion")), facturasEsperadas);
        BaseDatos registros(conexion);
        const QStringList faltas = verifactu::VerificarRegistros(registros);
        EXPECT_TRUE(faltas.isEmpty()) << faltas.join(QLatin1Char('\n')).toStdString();
    };
    comprobar(2, "after the stop");

    facturas = facturados = -1;
    EXPECT_EQ(facturar(facturas, facturados), QString());
    EXPECT_EQ(facturas, kClientes - 2);
    EXPECT_EQ(facturados, (kClientes - 2) * kNotas);
    comprobar(kClientes, "after the next run");
}

// A note of many lines edited and saved; `modo` is how the server goes down.
class CaidaAlGuardar : public Caida, public ::testing::WithParamInterface<const char*> {};

TEST_P(CaidaAlGuardar, ANoteSaveLeavesTheStoredNoteAsItWasAndTheNextSaveSucceeds)
{
    constexpr int kLineas = 300;
    cliente(1, QStringLiteral("UNO"));
    qint32 numero = 0;
    {
        Albaran a(*bd);
        ASSERT_TRUE(a.WhoAmI());
        ASSERT_TRUE(a.SetCliente(1));
        for (int i = 1; i <= kLineas; ++i) {
            LineaAlbaran* l = a.NuevaLinea();
            l->SetCodigo(1);
            ASSERT_TRUE(l->FijarCantidad(1));
        }
        ASSERT_TRUE(a.Update()) << a.UltimoError().toStdString();
        numero = *a.Numero;
    }
    // The note's lines, their quantities and its header, from a connection of its own.
    const auto foto = [&] {
        motor::BaseDeDatos c(conexion);
        QStringList r;
        for (const char* sql : {"select count(*) from AlbaranVentaDetalle where Numero = %1",
                                "select sum(Cantidad) from AlbaranVentaDetalle where Numero = %1",
                                "select count(*) from AlbaranVentaCabecera where Numero = %1"})
            r << QString::number(c.valorUnico(QString::fromLatin1(sql).arg(numero)).aEntero());
        return r.join(QLatin1Char('/')).toStdString();
    };
    const std::string antes = foto();
    ASSERT_EQ(antes, QStringLiteral("%1/%2/1").arg(kLineas).arg(kLineas * 1000).toStdString());

    // Every line doubled and as many again: the save stops at the 450th line it writes.
    Albaran a(*bd);
    ASSERT_TRUE(a.WhoAmI(numero));
    for (qint16 i = 1; i <= kLineas; ++i)
        ASSERT_TRUE(a.Linea(i)->FijarCantidad(2));
    for (int i = 1; i <= kLineas; ++i) {
        LineaAlbaran* l = a.NuevaLinea();
        l->SetCodigo(1);
        ASSERT_TRUE(l->FijarCantidad(3));
    }
    tablaEspera = QStringLiteral("AlbaranVentaDetalle");
    esperarEn(tablaEspera, QStringLiteral("NEW.linea = 450"));
    detenerAlEsperar(QString::fromLatin1(GetParam()));
    EXPECT_FALSE(a.Update());
    esAvisoDeServidor(a.UltimoError());
    volver();
    EXPECT_EQ(foto(), antes);

    // The same editor saves once the server is back, on a new session of the same connection.
    ASSERT_TRUE(a.Update()) << a.UltimoError().toStdString();
    const qint64 total = kLineas * 2000 + kLineas * 3000;
    EXPECT_EQ(foto(), QStringLiteral("%1/%2/1").arg(2 * kLineas).arg(total).toStdString());
    Albaran cargado(*bd);
    ASSERT_TRUE(cargado.WhoAmI(numero));
    EXPECT_EQ(cargado.NumeroLineas(), 2 * kLineas);

    // A server restarted while the program stood idle: the next save goes on a new session.
    ASSERT_TRUE(servidor->detener(QString::fromLatin1(GetParam())));
    ASSERT_TRUE(servidor->iniciar());
    ASSERT_TRUE(cargado.Linea(1)->FijarCantidad(4));
    EXPECT_TRUE(cargado.Update()) << cargado.UltimoError().toStdString();
    EXPECT_EQ(foto(), QStringLiteral("%1/%2/1").arg(2 * kLineas).arg(total + 2000).toStdString());
}

INSTANTIATE_TEST_SUITE_P(Modos, CaidaAlGuardar, ::testing::Values("fast", "immediate"));

}  // namespace
