// The sender of the invoice records against a stand-in for the agency: answers of every kind,
// the agency's failures, the certificate, its pace and the one-station claim.

#include "agencia_prueba.h"
#include "envioautomatico.h"
#include "documentos_prueba.h"
#include "factura.h"
#include "remitente.h"
#include "soapagencia.h"
#include "verifactu.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QSet>
#include <QTest>
#include <QThread>

#include <atomic>

#include <signal.h>

namespace {

using verifactu::Remitente;
using R = Remitente::Resultado;

// Keeps each post's moment (by the test's clock) and what was pending then.
class TransporteAnotado : public verifactu::Transporte {
public:
    TransporteAnotado(verifactu::Transporte& real, BaseDatos& bd, std::function<QDateTime()> reloj)
        : m_real(real), m_bd(bd), m_reloj(std::move(reloj))
    {
    }
    verifactu::RespuestaHttp Enviar(const QByteArray& sobre) override
    {
        const verifactu::EstadoEnvios e = m_bd.LeerEstadoEnvios();
        envios.push_back({m_reloj(), e.pendientes, e.motivo.isEmpty()});
        return m_real.Enviar(sobre);
    }
    struct Envio {
        QDateTime momento;
        qint64 pendientes;
        bool trasExito;  // the previous attempt had not failed
    };
    std::vector<Envio> envios;

private:
    verifactu::Transporte& m_real;
    BaseDatos& m_bd;
    std::function<QDateTime()> m_reloj;
};

class Envio : public DocumentosDePrueba {
protected:
    static void SetUpTestSuite()
    {
        agencia = new AgenciaDePrueba;
        sinAgencia = agencia->Arrancar();
    }
    static void TearDownTestSuite()
    {
        delete agencia;
        agencia = nullptr;
    }
    void SetUp() override
    {
        if (!sinAgencia.isEmpty())
            GTEST_SKIP() << sinAgencia.toStdString();
        DocumentosDePrueba::SetUp();
        cliente(1, QStringLiteral("BAR CENTRAL"));
        bd->GuardarVerifactu({true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"), QStringLiteral("1"), {}, true});
        agencia->NuevaSesion();
        conf.url = agencia->url();
        conf.autoridad = agencia->ruta(QStringLiteral("ca.pem"));
        conf.certificado = agencia->ruta(QStringLiteral("cliente.p12"));
        conf.clave = QStringLiteral("clave");
        conf.esperaMs = 1500;
        ahora = QDateTime(QDate(2027, 1, 4), QTime(10, 0));
    }

    // `n` records of issue, as invoices would leave them, in one transaction.
    void registros(int n)
    {
        motor::BaseDeDatos::Transaccion t(m());
        for (int i = 0; i < n; ++i) {
            verifactu::Registro r;
            r.serie = 0;
            r.numero = ++m_numero;
            r.IDEmisorFactura = QStringLiteral("B12345674");
            r.NombreRazonEmisor = QStringLiteral("CARNES QUENZA SL");
            r.NumSerieFactura = verifactu::NumSerie(0, r.numero);
            r.FechaExpedicionFactura = QStringLiteral("04-01-2027");
            r.TipoFactura = QStringLiteral("F2");
            r.desglose = {{true, 1000, 1000 + r.numero, 100, 0, 0}};
            r.cuotaTotal = 100;
            r.importeTotal = 1100 + r.numero;
            verifactu::Encadenar(*bd, r, ahora);
        }
        t.commit();
    }
    std::unique_ptr<Remitente> remitente(verifactu::Transporte& t, const QString& puesto = QStringLiteral("caja1"))
    {
        auto r = std::make_unique<Remitente>(*bd, t, puesto);
        r->reloj = [this] { return ahora; };
        return r;
    }
    QString estado(qint64 orden) { return m().valorUnico(QStringLiteral("select EstadoEnvio from RegistroFacturacion where Orden=%1").arg(orden)).aTexto(); }
    qint64 pendientes() { return bd->LeerEstadoEnvios().pendientes; }

    static inline AgenciaDePrueba* agencia = nullptr;
    static inline QString sinAgencia;
    verifactu::ConfiguracionEnvio conf;
    QDateTime ahora;
    qint32 m_numero = 0;
};

TEST_F(Envio, FiveThousandRecordsThroughAFailingAgencyAreEachAcceptedOnceInChainOrder)
{
    registros(5000);
    verifactu::TransporteHttps https(conf);
    TransporteAnotado anotado(https, *bd, [this] { return ahora; });
    auto r = remitente(anotado);
    // The agency is down at first, then fails at random (lost answers among them), then recovers.
    agencia->Control({{QStringLiteral("modo"), QStringLiteral("nada")}});
    int pasos = 0, fallos = 0;
    bool anadidos = false;
    for (; pasos < 400; ++pasos) {
        if (pasos == 2)
            agencia->Control({{QStringLiteral("modo"), QStringLiteral("aleatorio")}, {QStringLiteral("semilla"), 7},
                              {QStringLiteral("retardo"), 3}});
        if (pasos == 30)
            agencia->Control({});
        const Remitente::Paso p = r->Enviar();
        ASSERT_NE(p.resultado, R::OtroPuesto);
        if (p.resultado == R::NadaPendiente)
            break;
        if (p.resultado == R::Fallo) {
            ++fallos;
            EXPECT_FALSE(p.motivo.isEmpty());
            EXPECT_EQ(bd->LeerEstadoEnvios().motivo, p.motivo);
        }
        // The shop goes on invoicing meanwhile.
        if (p.resultado == R::Enviado && !anadidos) {
            registros(10);
            anadidos = true;
        }
        ahora = std::max(ahora.addSecs(1), p.proximo);
    }
    ASSERT_LT(pasos, 400);
    EXPECT_GE(fallos, 3);
    EXPECT_EQ(pendientes(), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from RegistroFacturacion where EstadoEnvio<>'Correcto'")), 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from RegistroFacturacion where CSV is null or CSV=''")), 0);

    // The agency registered each record once, in the chain's order.
    const std::vector<QJsonObject> registrados = agencia->Diario(QStringLiteral("registrado"));
    ASSERT_EQ(registrados.size(), 5010u);
    const std::vector<verifactu::Registro> cadena = bd->Registros();
    for (size_t i = 0; i < cadena.size(); ++i) {
        ASSERT_EQ(registrados[i][QStringLiteral("registrado")].toString(), cadena[i].NumSerieFactura) << i;
        ASSERT_EQ(registrados[i][QStringLiteral("huella")].toString(), cadena[i].Huella);
    }
    // Those delayed by the failures went with Incidencia; the first ones surely were.
    EXPECT_EQ(registrados.front()[QStringLiteral("incidencia")].toString(), QStringLiteral("S"));
    EXPECT_TRUE(agencia->Diario(QStringLiteral("invalido")).empty());

    // The pace: the agency's 60 s between submissions, unless a full one was waiting after a
    // submission that went well.
    ASSERT_GE(anotado.envios.size(), 6u);
    for (size_t i = 1; i < anotado.envios.size(); ++i) {
        const auto& e = anotado.envios[i];
        const qint64 pausa = anotado.envios[i - 1].momento.secsTo(e.momento);
        EXPECT_TRUE(pausa >= 60 || (e.pendientes >= 1000 && e.trasExito)) << i << ": " << pausa << " s, " << e.pendientes;
    }
}

TEST_F(Envio, TheAgencysVerdictsAreStoredAndTheFaultyRecordsCorrected)
{
    std::vector<std::unique_ptr<Factura>> facturas;
    for (double importe : {100.0, 55.5, 12.4}) {
        auto f = std::make_unique<Factura>(*bd);
        ASSERT_TRUE(f->WhoAmI());
        f->Fecha = QDate(2027, 1, 4);
        ASSERT_TRUE(f->SetCliente(1));
        LineaFactura* l = f->NuevaLinea();
        l->FijarConcepto(QStringLiteral("Género"));
        l->FijarImporte(importe);
        l->FijarpIVA(10);
        ASSERT_TRUE(f->Update()) << f->UltimoError().toStdString();
        facturas.push_back(std::move(f));
    }
    agencia->Control({{QStringLiteral("errores"), QJsonArray{QStringLiteral("A-000002")}},
                      {QStringLiteral("rechazar"), QJsonArray{QStringLiteral("A-000003")}}});
    verifactu::TransporteHttps https(conf);
    auto r = remitente(https);
    Remitente::Paso p = r->Enviar();
    ASSERT_EQ(p.resultado, R::Enviado) << p.motivo.toStdString();
    EXPECT_EQ(p.motivo, QStringLiteral("ParcialmenteCorrecto"));
    EXPECT_EQ((std::array{p.correctos, p.conErrores, p.incorrectos}), (std::array{1, 1, 1}));
    EXPECT_EQ(estado(1), QStringLiteral("Correcto"));
    EXPECT_EQ(estado(2), QStringLiteral("AceptadoConErrores"));
    EXPECT_EQ(estado(3), QStringLiteral("Incorrecto"));
    EXPECT_EQ(m().valorUnico(QStringLiteral("select CodigoErrorRegistro from RegistroFacturacion where Orden=3")).aTexto(), QStringLiteral("1100"));
    EXPECT_FALSE(m().valorUnico(QStringLiteral("select CSV from RegistroFacturacion where Orden=3")).aTexto().isEmpty());
    ASSERT_EQ(p.lineas.size(), 2);
    EXPECT_TRUE(p.lineas[1].contains(QStringLiteral("A-000003"))) << p.lineas[1].toStdString();
    verifactu::EstadoEnvios e = bd->LeerEstadoEnvios();
    EXPECT_EQ((std::array{e.pendientes, e.conErrores, e.rechazados}), (std::array<qint64, 3>{0, 1, 1}));

    // Once the shop mends the cause, each goes again as a correction at the end of the chain.
    QString motivo;
    EXPECT_FALSE(verifactu::Subsanar(*bd, 1, ahora, motivo));  // nothing to correct
    EXPECT_FALSE(motivo.isEmpty());
    ASSERT_TRUE(verifactu::Subsanar(*bd, 2, ahora, motivo)) << motivo.toStdString();
    ASSERT_TRUE(verifactu::Subsanar(*bd, 3, ahora, motivo)) << motivo.toStdString();
    EXPECT_FALSE(verifactu::Subsanar(*bd, 3, ahora, motivo));  // once
    e = bd->LeerEstadoEnvios();
    EXPECT_EQ((std::array{e.pendientes, e.conErrores, e.rechazados}), (std::array<qint64, 3>{2, 0, 0}));
    ahora = ahora.addSecs(60);
    p = r->Enviar();
    ASSERT_EQ(p.resultado, R::Enviado) << p.motivo.toStdString();
    EXPECT_EQ(p.correctos, 2);
    const std::vector<QJsonObject> registrados = agencia->Diario(QStringLiteral("registrado"));
    ASSERT_EQ(registrados.size(), 4u);
    EXPECT_EQ(registrados[2][QStringLiteral("registrado")].toString(), QStringLiteral("A-000002"));
    EXPECT_EQ(registrados[2][QStringLiteral("subsanacion")].toString(), QStringLiteral("S"));
    EXPECT_EQ(registrados[2][QStringLiteral("rechazoprevio")].toString(), QString());
    EXPECT_EQ(registrados[3][QStringLiteral("registrado")].toString(), QStringLiteral("A-000003"));
    EXPECT_EQ(registrados[3][QStringLiteral("rechazoprevio")].toString(), QStringLiteral("X"));
    EXPECT_TRUE(verifactu::VerificarRegistros(*bd).isEmpty()) << verifactu::VerificarRegistros(*bd).join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(agencia->Diario(QStringLiteral("invalido")).empty());
}

// The agency failing in each way it can: the records stay pending with the reason, then go
// with Incidencia once it answers again.
TEST_F(Envio, WhateverTheAgencyFailsTheRecordsStayPendingAndGoLaterWithIncidencia)
{
    const struct {
        const char* modo;
        const char* motivo;
    } casos[] = {
        {"nada", "conexión"},           {"lento", "no ha contestado en 1 segundos"}, {"falta", "tiene un problema"},
        {"faltacliente", "rechaza el envío entero"}, {"basura", "no es una respuesta"},
    };
    registros(1);
    verifactu::TransporteHttps https(conf);
    auto r = remitente(https);
    for (const auto& c : casos) {
        agencia->Control({{QStringLiteral("modo"), QString::fromLatin1(c.modo)}, {QStringLiteral("retardo"), 3}});
        const Remitente::Paso p = r->Enviar();
        EXPECT_EQ(p.resultado, R::Fallo) << c.modo;
        EXPECT_TRUE(p.motivo.contains(QString::fromUtf8(c.motivo))) << c.modo << ": " << p.motivo.toStdString();
        EXPECT_EQ(p.proximo, ahora.addSecs(60)) << c.modo;
        EXPECT_EQ(pendientes(), 1) << c.modo;
        EXPECT_EQ(bd->LeerEstadoEnvios().motivo, p.motivo);
        // Within the wait nothing goes.
        EXPECT_EQ(r->Enviar().resultado, R::Esperando) << c.modo;
        ahora = p.proximo;
    }
    agencia->Control({});
    const Remitente::Paso p = r->Enviar();
    ASSERT_EQ(p.resultado, R::Enviado) << p.motivo.toStdString();
    EXPECT_EQ(pendientes(), 0);
    EXPECT_TRUE(bd->LeerEstadoEnvios().motivo.isEmpty());
    const std::vector<QJsonObject> registrados = agencia->Diario(QStringLiteral("registrado"));
    ASSERT_EQ(registrados.size(), 1u);
    EXPECT_EQ(registrados[0][QStringLiteral("incidencia")].toString(), QStringLiteral("S"));
}

TEST_F(Envio, AnswerLostAfterTheAgencyRegisteredTheRecordsCountsThemOnce)
{
    registros(3);
    verifactu::TransporteHttps https(conf);
    auto r = remitente(https);
    agencia->Control({{QStringLiteral("modo"), QStringLiteral("perdida")}});
    EXPECT_EQ(r->Enviar().resultado, R::Fallo);
    EXPECT_EQ(pendientes(), 3);
    agencia->Control({});
    ahora = ahora.addSecs(60);
    const Remitente::Paso p = r->Enviar();
    ASSERT_EQ(p.resultado, R::Enviado);
    EXPECT_EQ(p.correctos, 3);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from RegistroFacturacion where EstadoEnvio='Correcto'")), 3);
    EXPECT_EQ(agencia->Diario(QStringLiteral("registrado")).size(), 3u);
}

TEST_F(Envio, TheAgencysPaceIsKeptUnlessAFullSubmissionWaits)
{
    agencia->Control({{QStringLiteral("espera"), 90}});
    registros(1);
    verifactu::TransporteHttps https(conf);
    auto r = remitente(https);
    const QDateTime inicio = ahora;
    ASSERT_EQ(r->Enviar().resultado, R::Enviado);
    registros(1);
    ahora = inicio.addSecs(89);
    Remitente::Paso p = r->Enviar();
    EXPECT_EQ(p.resultado, R::Esperando);
    EXPECT_EQ(p.proximo, inicio.addSecs(90));
    EXPECT_EQ(agencia->Diario(QStringLiteral("peticion")).size(), 1u);
    // A full submission does not wait.
    registros(999);
    EXPECT_EQ(r->Enviar().resultado, R::Enviado);
    EXPECT_EQ(pendientes(), 0);
    // The agency may change the wait at each answer.
    agencia->Control({{QStringLiteral("espera"), 5}});
    registros(1);
    ahora = ahora.addSecs(90);
    EXPECT_EQ(r->Enviar().resultado, R::Enviado);
    registros(1);
    ahora = ahora.addSecs(5);
    EXPECT_EQ(r->Enviar().resultado, R::Enviado);
}

TEST_F(Envio, OneStationSendsAndAQuietOneLosesTheClaim)
{
    registros(2);
    BaseDatos otra(base->ruta);
    verifactu::TransporteHttps https(conf);
    auto caja1 = remitente(https, QStringLiteral("caja1"));
    Remitente caja2(otra, https, QStringLiteral("caja2"));
    caja2.reloj = [this] { return ahora; };
    ASSERT_EQ(caja1->Enviar().resultado, R::Enviado);
    registros(1);
    ahora = ahora.addSecs(120);
    EXPECT_EQ(caja2.Enviar().resultado, R::OtroPuesto);
    EXPECT_EQ(bd->LeerEstadoEnvios().titular, QStringLiteral("caja1"));
    // caja1 said nothing for five minutes: caja2 takes over; caja1 then stands aside.
    ahora = ahora.addSecs(Remitente::kCaducidadSegundos);
    EXPECT_EQ(caja2.Enviar().resultado, R::Enviado);
    registros(1);
    EXPECT_EQ(caja1->Enviar().resultado, R::OtroPuesto);
    caja2.Soltar();
    EXPECT_TRUE(bd->LeerEstadoEnvios().titular.isEmpty());
    EXPECT_EQ(agencia->Diario(QStringLiteral("registrado")).size(), 3u);
}

// The shop's certificate and the agency's: each wrong one leaves the records pending and says
// what to do.
TEST_F(Envio, AWrongCertificateLeavesTheRecordsPendingWithTheReason)
{
    registros(1);
    const QString noP12 = agencia->ruta(QStringLiteral("ca.pem"));
    const struct {
        const char* caso;
        QString certificado;
        QString clave;
        QString autoridad;
        const char* motivo;
    } casos[] = {
        {"wrong password", agencia->ruta(QStringLiteral("cliente.p12")), QStringLiteral("otra"), conf.autoridad, "contraseña"},
        {"no file", agencia->ruta(QStringLiteral("no.p12")), conf.clave, conf.autoridad, "compruebe que el archivo existe"},
        {"not a PKCS#12", noP12, conf.clave, conf.autoridad, "PKCS#12"},
        {"no certificate chosen", QString(), conf.clave, conf.autoridad, "Configurar"},
        {"shop's certificate from another authority", agencia->ruta(QStringLiteral("intruso.p12")), conf.clave, conf.autoridad,
         "Agencia Tributaria"},
        {"agency's certificate not trusted", conf.certificado, conf.clave, agencia->ruta(QStringLiteral("otra.pem")), "conexión segura"},
    };
    for (const auto& c : casos) {
        verifactu::ConfiguracionEnvio mala = conf;
        mala.certificado = c.certificado;
        mala.clave = c.clave;
        mala.autoridad = c.autoridad;
        verifactu::TransporteHttps https(mala);
        auto r = remitente(https);
        const Remitente::Paso p = r->Enviar();
        EXPECT_EQ(p.resultado, R::Fallo) << c.caso;
        EXPECT_TRUE(p.motivo.contains(QString::fromUtf8(c.motivo))) << c.caso << ": " << p.motivo.toStdString();
        EXPECT_EQ(pendientes(), 1) << c.caso;
        ahora = ahora.addSecs(60);
    }
    EXPECT_TRUE(agencia->Diario(QStringLiteral("registrado")).empty());
}

TEST(ConfiguracionEnvio, TheEnvironmentTakesThePlaceOfTheSettings)
{
    const char* variables[] = {"QUENZA_AEAT_URL", "QUENZA_AEAT_CA", "QUENZA_AEAT_CERT"};
    AjustesVerifactu a;
    a.Certificado = QStringLiteral("/tienda/certificado.p12");
    a.Pruebas = false;
    for (const char* v : variables)
        qunsetenv(v);
    verifactu::ConfiguracionEnvio c = verifactu::ConfiguracionDe(a);
    EXPECT_EQ(c.url, verifactu::UrlAgencia(false));
    EXPECT_NE(c.url, verifactu::UrlAgencia(true));
    EXPECT_EQ(c.certificado, a.Certificado);
    EXPECT_TRUE(c.autoridad.isEmpty());
    qputenv("QUENZA_AEAT_URL", "https://127.0.0.1:9/x");
    qputenv("QUENZA_AEAT_CA", "/tmp/ca.pem");
    qputenv("QUENZA_AEAT_CERT", "/tmp/c.p12");
    c = verifactu::ConfiguracionDe(a);
    EXPECT_EQ(c.url, QStringLiteral("https://127.0.0.1:9/x"));
    EXPECT_EQ(c.autoridad, QStringLiteral("/tmp/ca.pem"));
    EXPECT_EQ(c.certificado, QStringLiteral("/tmp/c.p12"));
    for (const char* v : variables)
        qunsetenv(v);
}

}  // namespace

namespace {

// `quenza --enviar-registros` on the real program, pointed at the stand-in by the environment.
class EnvioDesdeLaLinea : public Envio {
protected:
    void SetUp() override
    {
        Envio::SetUp();
        if (IsSkipped())
            return;
        exe = programa.filePath(QStringLiteral("quenza"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUENZA_EJECUTABLE), exe));
        QFile ini(programa.filePath(QStringLiteral("Quenza.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[General]\nHomeDir=" + base->dir().toUtf8() + "\nGrupo=1\n");
        ini.close();
        agencia->Control({{QStringLiteral("espera"), 0}});
    }
    QProcess* lanzar()
    {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUENZA_AEAT_URL"), conf.url);
        env.insert(QStringLiteral("QUENZA_AEAT_CA"), conf.autoridad);
        env.insert(QStringLiteral("QUENZA_AEAT_CERT"), conf.certificado);
        env.insert(QStringLiteral("QUENZA_AEAT_CLAVE"), conf.clave);
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(exe, {QStringLiteral("--enviar-registros")});
        procesos.emplace_back(p);
        return p;
    }
    std::pair<int, QString> esperar(QProcess* p)
    {
        EXPECT_TRUE(p->waitForFinished(120000));
        return {p->exitCode(), QString::fromUtf8(p->readAll())};
    }

    QTemporaryDir programa;
    QString exe;
    std::vector<std::unique_ptr<QProcess>> procesos;
};

TEST_F(EnvioDesdeLaLinea, SendsWhatIsPendingAndSaysWhatTheAgencyAnswered)
{
    registros(3);
    agencia->Control({{QStringLiteral("espera"), 0}, {QStringLiteral("rechazar"), QJsonArray{QStringLiteral("A-000002")}}});
    auto [codigo, texto] = esperar(lanzar());
    EXPECT_EQ(codigo, 1) << texto.toStdString();  // one rejected
    EXPECT_TRUE(texto.contains(QStringLiteral("Enviados 3 registros (ParcialmenteCorrecto): 2 correctos, 0 aceptados con errores, 1 rechazados"))) << texto.toStdString();
    EXPECT_TRUE(texto.contains(QStringLiteral("A-000002"))) << texto.toStdString();
    EXPECT_TRUE(texto.contains(QStringLiteral("1100"))) << texto.toStdString();

    // Nothing pending, nothing rejected (its correction dealt with): 0.
    m().ejecutarNativo(QStringLiteral("UPDATE RegistroFacturacion SET Subsanado=1 WHERE Orden=2"));
    std::tie(codigo, texto) = esperar(lanzar());
    EXPECT_EQ(codigo, 0) << texto.toStdString();
    // The agency down: the reason, and 1.
    registros(1);
    agencia->Control({{QStringLiteral("modo"), QStringLiteral("falta")}});
    std::tie(codigo, texto) = esperar(lanzar());
    EXPECT_EQ(codigo, 1);
    EXPECT_TRUE(texto.contains(QStringLiteral("tiene un problema"))) << texto.toStdString();
    EXPECT_TRUE(texto.contains(QStringLiteral("Pendientes de envío: 1."))) << texto.toStdString();
}

TEST_F(EnvioDesdeLaLinea, TwoStationsAtOnceSendEachRecordOnce)
{
    registros(3000);
    agencia->Control({{QStringLiteral("espera"), 0}, {QStringLiteral("pausa"), 1}});
    QProcess* a = lanzar();
    QProcess* b = lanzar();
    const auto [ca, ta] = esperar(a);
    const auto [cb, tb] = esperar(b);
    // One sent everything; the other found it sending and left it alone.
    EXPECT_TRUE(ca == 0 || cb == 0) << ta.toStdString() << tb.toStdString();
    EXPECT_NE(ta.contains(QStringLiteral("Otro puesto")), tb.contains(QStringLiteral("Otro puesto"))) << ta.toStdString() << tb.toStdString();
    EXPECT_EQ(pendientes(), 0);
    const std::vector<QJsonObject> registrados = agencia->Diario(QStringLiteral("registrado"));
    EXPECT_EQ(registrados.size(), 3000u);
    QSet<QString> vistos;
    for (const QJsonObject& o : registrados)
        vistos.insert(o[QStringLiteral("registrado")].toString());
    EXPECT_EQ(vistos.size(), 3000);
    EXPECT_TRUE(agencia->Diario(QStringLiteral("invalido")).empty());
}

TEST_F(EnvioDesdeLaLinea, KilledWhileSendingNothingIsLostNorRegisteredTwice)
{
    registros(1500);
    agencia->Control({{QStringLiteral("espera"), 0}, {QStringLiteral("pausa"), 30}});
    QProcess* p = lanzar();
    // The agency has registered the first submission and is about to answer.
    for (int i = 0; i < 600 && agencia->Diario(QStringLiteral("registrado")).size() < 1000; ++i)
        QThread::msleep(50);
    ASSERT_EQ(agencia->Diario(QStringLiteral("registrado")).size(), 1000u);
    ::kill(static_cast<pid_t>(p->processId()), SIGKILL);
    p->waitForFinished(10000);
    EXPECT_EQ(pendientes(), 1500);

    // The next run takes the dead process's claim at once; the agency knows the first thousand.
    agencia->Control({{QStringLiteral("espera"), 0}});
    const auto [codigo, texto] = esperar(lanzar());
    EXPECT_EQ(codigo, 0) << texto.toStdString();
    EXPECT_EQ(uno(QStringLiteral("select count(*) from RegistroFacturacion where EstadoEnvio='Correcto'")), 1500);
    EXPECT_EQ(agencia->Diario(QStringLiteral("registrado")).size(), 1500u);
}

}  // namespace

namespace {

TEST(AvisoEnvios, SaysWhatIsNotAcceptedAndWhy)
{
    verifactu::EstadoEnvios e;
    EXPECT_EQ(verifactu::AvisoEnvios(e, false, false), QString());
    e.pendientes = 12;
    e.motivo = QStringLiteral("No hay conexión con la Agencia Tributaria (x): compruebe la conexión a Internet.");
    const struct {
        qint64 rechazados;
        bool sinCertificado, sinClave;
        const char* texto;
    } casos[] = {
        {0, false, false, "Registros VERI*FACTU sin enviar: 12. No hay conexión con la Agencia Tributaria (x): compruebe la conexión a Internet."},
        {2, true, true, "Registros VERI*FACTU sin enviar: 12. Rechazados por la Agencia Tributaria: 2. Falta el certificado del comercio: elíjalo en Configurar, VERI*FACTU."},
    };
    for (const auto& c : casos) {
        e.rechazados = c.rechazados;
        EXPECT_EQ(verifactu::AvisoEnvios(e, c.sinCertificado, c.sinClave), QString::fromUtf8(c.texto));
    }
    e = {};
    e.pendientes = 1;
    EXPECT_EQ(verifactu::AvisoEnvios(e, false, true), QStringLiteral("Registros VERI*FACTU sin enviar: 1. Falta la contraseña del certificado para enviarlos."));
    e = {};
    e.conErrores = 3;
    EXPECT_EQ(verifactu::AvisoEnvios(e, false, false), QStringLiteral("Aceptados con errores: 3."));
}

// The program's sending runs in its own thread: the windows' thread never waits for the agency.
TEST_F(Envio, BackgroundSendingNeverStopsTheWindows)
{
    registros(2);
    agencia->Control({{QStringLiteral("espera"), 0}, {QStringLiteral("pausa"), 2}});
    verifactu::ConfiguracionEnvio sinClave = conf;
    sinClave.clave.clear();
    sinClave.esperaMs = 10000;
    verifactu::EnvioAutomatico envio(base->ruta, sinClave);
    std::atomic<int> intentos = 0;  // counted in the sending thread
    QObject::connect(&envio, &verifactu::EnvioAutomatico::Intentado, [&intentos] { ++intentos; });
    envio.Empezar();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // Without the password nothing goes (nor is marked late).
    EXPECT_EQ(intentos, 0);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from RegistroFacturacion where Incidencia = 1")), 0);
    envio.FijarClave(conf.clave);
    qint64 mayorPausa = 0, antes = t.elapsed();
    while (t.elapsed() < 20000 && pendientes() > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        mayorPausa = std::max(mayorPausa, t.elapsed() - antes);
        antes = t.elapsed();
    }
    EXPECT_EQ(pendientes(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&intentos] { return intentos >= 1; }, 2000));  // said after the answer is stored
    EXPECT_LT(mayorPausa, 1000);  // the agency took two seconds to answer
    EXPECT_EQ(agencia->Diario(QStringLiteral("registrado")).size(), 2u);
}

TEST_F(Envio, ClosingTheProgramDoesNotWaitForTheAgency)
{
    registros(2);
    agencia->Control({{QStringLiteral("espera"), 0}, {QStringLiteral("pausa"), 30}});
    verifactu::ConfiguracionEnvio paciente = conf;
    paciente.esperaMs = 20000;
    auto envio = std::make_unique<verifactu::EnvioAutomatico>(base->ruta, paciente);
    envio->Empezar();
    ASSERT_TRUE(QTest::qWaitFor([] { return agencia->Diario(QStringLiteral("registrado")).size() == 2; }, 10000));
    QElapsedTimer t;
    t.start();
    envio.reset();
    EXPECT_LT(t.elapsed(), 2000);
    EXPECT_EQ(pendientes(), 2);  // the answer never came: they go again, and the agency knows them
    EXPECT_TRUE(bd->LeerEstadoEnvios().titular.isEmpty());
}

}  // namespace

namespace {

// The agency's answer as the parser must take it: an annulment's identifiers with their own
// names, a duplicate's code kept apart from the record's, and answers that are not complete.
TEST(RespuestaAgencia, ReadsEachLineAndRefusesWhatIsIncomplete)
{
    const QByteArray sobre = "<env:Envelope xmlns:env=\"http://schemas.xmlsoap.org/soap/envelope/\"><env:Body><r:RespuestaRegFactuSistemaFacturacion "
                             "xmlns:r=\"urn:r\" xmlns:t=\"urn:t\"><r:CSV>A-1</r:CSV><r:TiempoEsperaEnvio>30</r:TiempoEsperaEnvio>"
                             "<r:EstadoEnvio>ParcialmenteCorrecto</r:EstadoEnvio>%1</r:RespuestaRegFactuSistemaFacturacion></env:Body></env:Envelope>";
    const QByteArray anulacion = "<r:RespuestaLinea><r:IDFactura><t:IDEmisorFacturaAnulada>B12345674</t:IDEmisorFacturaAnulada>"
                                 "<t:NumSerieFacturaAnulada>A-000001</t:NumSerieFacturaAnulada><t:FechaExpedicionFacturaAnulada>04-01-2027"
                                 "</t:FechaExpedicionFacturaAnulada></r:IDFactura><r:Operacion><t:TipoOperacion>Anulacion</t:TipoOperacion>"
                                 "</r:Operacion><r:EstadoRegistro>Correcto</r:EstadoRegistro></r:RespuestaLinea>";
    const QByteArray duplicado = "<r:RespuestaLinea><r:IDFactura><t:IDEmisorFactura>B12345674</t:IDEmisorFactura><t:NumSerieFactura>A-000002"
                                 "</t:NumSerieFactura><t:FechaExpedicionFactura>04-01-2027</t:FechaExpedicionFactura></r:IDFactura>"
                                 "<r:EstadoRegistro>Incorrecto</r:EstadoRegistro><r:CodigoErrorRegistro>3000</r:CodigoErrorRegistro>"
                                 "<r:RegistroDuplicado><t:EstadoRegistroDuplicado>AceptadaConErrores</t:EstadoRegistroDuplicado>"
                                 "<t:CodigoErrorRegistro>1117</t:CodigoErrorRegistro></r:RegistroDuplicado></r:RespuestaLinea>";
    verifactu::RespuestaAgencia r;
    QString motivo;
    ASSERT_TRUE(verifactu::LeerRespuesta(QByteArray(sobre).replace("%1", anulacion + duplicado), r, motivo)) << motivo.toStdString();
    EXPECT_EQ(r.CSV, QStringLiteral("A-1"));
    EXPECT_EQ(r.TiempoEsperaEnvio, 30);
    ASSERT_EQ(r.lineas.size(), 2u);
    EXPECT_EQ(r.lineas[0].NumSerieFactura, QStringLiteral("A-000001"));
    EXPECT_EQ(r.lineas[0].TipoOperacion, QStringLiteral("Anulacion"));
    EXPECT_EQ(r.lineas[1].CodigoErrorRegistro, QStringLiteral("3000"));
    EXPECT_EQ(r.lineas[1].EstadoRegistroDuplicado, QStringLiteral("AceptadaConErrores"));

    const QByteArray incompletas[] = {
        QByteArray(sobre).replace("%1", ""),                                                                  // no line
        QByteArray(sobre).replace("%1", anulacion).replace("Correcto</r:EstadoRegistro>", "Bien</r:EstadoRegistro>"),  // unknown state
        QByteArray(sobre).replace("%1", anulacion).left(300),                                                // cut short
        "<html>Mantenimiento</html>",
    };
    for (const QByteArray& c : incompletas)
        EXPECT_FALSE(verifactu::LeerRespuesta(c, r, motivo)) << c.toStdString();
}

}  // namespace
