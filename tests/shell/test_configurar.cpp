#include "comun_shell.h"

#include "configurar.h"
#include "contrasena.h"
#include "contestador.h"
#include "factura.h"
#include "formato.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class DialogoConfigurar : public ConPrograma {
protected:
    void SetUp() override
    {
        ConPrograma::SetUp();
        FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));
        base = std::make_unique<BaseDePrueba>();
        Global::HomeDir = base->dir();
        LeerConfiguracionKV740();
        AbrirBaseDatos();
        Global::Grupo = 1;
        Global::BD->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
    }
    void TearDown() override
    {
        Configurar::elegirCarpeta = nullptr;
        ConPrograma::TearDown();
    }
    std::unique_ptr<BaseDePrueba> base;
};

TEST_F(DialogoConfigurar, ShowsTheWorkingGroupAndEachControlHasItsOwnMnemonic)
{
    Configurar d;
    EXPECT_EQ(d.LstGpos->count(), 3);
    EXPECT_EQ(d.LstGpos->currentText(), QStringLiteral("0001   TIENDA PRINCIPAL"));
    EXPECT_EQ(d.lbSecc->text(), QStringLiteral("001   TIENDA"));
    EXPECT_EQ(d.lbAlma->text(), QStringLiteral("01   ALMACEN CENTRAL"));
    EXPECT_EQ(d.grdIvas->item(0, 0)->text(), QStringLiteral("10,0"));
    EXPECT_EQ(d.grdIvas->item(0, 6)->text(), QStringLiteral("21,0"));
    EXPECT_EQ(d.lbHomeDir->text(), base->dir());
    EXPECT_TRUE(d.opBase->isChecked());
    EXPECT_TRUE(d.opInclu->isChecked());

    // Each control has its own mnemonic.
    QStringList textos;
    for (QAbstractButton* b : d.findChildren<QAbstractButton*>())
        textos << b->text();
    for (QGroupBox* g : d.findChildren<QGroupBox*>())
        textos << g->title();
    for (QLabel* l : d.findChildren<QLabel*>())
        if (l->buddy())
            textos << l->text();
    QMap<QString, QString> vistas;
    for (const QString& t : textos) {
        const QString tecla = QKeySequence::mnemonic(t).toString();
        if (tecla.isEmpty())
            continue;
        EXPECT_FALSE(vistas.contains(tecla)) << qPrintable(tecla + ": " + t + " / " + vistas.value(tecla));
        vistas.insert(tecla, t);
    }
    EXPECT_GE(vistas.size(), 11);
}

TEST(Recargo, ReadInTheSpanishWayWhateverTheDecimalMark)
{
    EXPECT_EQ(LeerRecargo(QStringLiteral("2,5")), 2.5);
    EXPECT_EQ(LeerRecargo(QStringLiteral("2.5")), 2.5);
    EXPECT_EQ(LeerRecargo(QStringLiteral(" 5,2 ")), 5.2);
    EXPECT_EQ(LeerRecargo(QStringLiteral("100")), 100.0);
    EXPECT_EQ(LeerRecargo(QStringLiteral("3,")), 3.0);
    EXPECT_EQ(LeerRecargo(QString()), 0.0);
    for (const char* malo : {"-7", "123456", "100,5", "2,5,1", "abc", "1e2", "2.5.1", "+3"})
        EXPECT_FALSE(LeerRecargo(QString::fromLatin1(malo)).has_value()) << malo;
}

TEST_F(DialogoConfigurar, SurchargeBoxesTakeOnlyPercentagesHoweverTheyCome)
{
    Global::RecargoEquivalencia[3] = 1.4f;
    Configurar d;
    d.show();
    QApplication::setActiveWindow(&d);
    QLineEdit* caja = d.txREq[3];
    caja->setFocus();
    caja->clear();
    QTest::keyClicks(caja, QStringLiteral("2,5"));
    EXPECT_EQ(caja->text(), QStringLiteral("2,5"));
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[3], 2.5f);
    QTest::keyClicks(caja, QStringLiteral("a-"));  // letters and signs are dropped
    EXPECT_EQ(caja->text(), QStringLiteral("2,5"));

    // The keypad's decimal key.
    caja->clear();
    QTest::keyClick(caja, Qt::Key_3, Qt::KeypadModifier);
    QTest::keyClick(caja, Qt::Key_Period, Qt::KeypadModifier);
    QTest::keyClick(caja, Qt::Key_7, Qt::KeypadModifier);
    EXPECT_EQ(caja->text(), QStringLiteral("3,7"));
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[3], 3.7f);

    // Pasted text goes round the key filter.
    QApplication::clipboard()->setText(QStringLiteral("2.5"));
    caja->selectAll();
    caja->paste();
    EXPECT_EQ(caja->text(), QStringLiteral("2,5"));
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[3], 2.5f);
    EXPECT_FALSE(d.lbRecargo->isVisible());
    for (const char* malo : {"-7", "123456"}) {
        QApplication::clipboard()->setText(QString::fromLatin1(malo));
        caja->selectAll();
        caja->paste();
        EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[3], 2.5f) << malo;  // nothing invalid is taken
        EXPECT_TRUE(d.lbRecargo->isVisible()) << malo;
        EXPECT_TRUE(d.lbRecargo->text().contains(QStringLiteral("departamento 3"))) << qPrintable(d.lbRecargo->text());
    }
    d.Acepto->click();  // refused while a box is wrong
    EXPECT_FALSE(d.aceptado());
    EXPECT_EQ(QApplication::focusWidget(), caja);
    EXPECT_FALSE(QFile::exists(rutaIni()));

    caja->clear();
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[3], 0.0f);
    EXPECT_FALSE(d.lbRecargo->isVisible());
    d.Acepto->click();
    EXPECT_TRUE(d.aceptado());
}

TEST_F(DialogoConfigurar, ArrowsMoveBetweenSurchargeBoxesAtTheEdges)
{
    Configurar d;
    d.show();
    QApplication::setActiveWindow(&d);
    d.txREq[5]->setText(QStringLiteral("12"));
    d.txREq[5]->setFocus();
    d.txREq[5]->setCursorPosition(1);
    QTest::keyClick(d.txREq[5], Qt::Key_Right);  // caret inside: stays
    EXPECT_EQ(QApplication::focusWidget(), d.txREq[5]);
    QTest::keyClick(d.txREq[5], Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget(), d.txREq[6]);
    d.txREq[6]->setCursorPosition(0);
    QTest::keyClick(d.txREq[6], Qt::Key_Left);
    EXPECT_EQ(QApplication::focusWidget(), d.txREq[5]);
    d.txREq[1]->setFocus();
    d.txREq[1]->setCursorPosition(0);
    QTest::keyClick(d.txREq[1], Qt::Key_Left);  // the first box goes no further
    EXPECT_EQ(QApplication::focusWidget(), d.txREq[1]);
}

// A group the database does not have is dropped, and accepting without one is refused; a group
// without a warehouse is refused too.
TEST_F(DialogoConfigurar, AnUnknownGroupIsResetAndAGroupWithAWarehouseIsRequired)
{
    Global::Grupo = 77;
    Configurar d;
    EXPECT_EQ(d.LstGpos->currentIndex(), -1);
    EXPECT_EQ(Global::Grupo, 0);
    EXPECT_EQ(Global::Seccion, 0);
    d.show();
    QString mensaje = Al(QMessageBox::Ok, [&] { d.Acepto->click(); }).textos.value(0);
    EXPECT_TRUE(mensaje.startsWith(QStringLiteral("Elija el grupo KV740 de la tienda"))) << qPrintable(mensaje);
    EXPECT_FALSE(d.aceptado());

    d.LstGpos->setCurrentIndex(2);
    emit d.LstGpos->activated(2);  // "OBRADOR" has no warehouse
    EXPECT_EQ(Global::Grupo, 3);
    EXPECT_EQ(Global::Almacen, 0);
    mensaje = Al(QMessageBox::Ok, [&] { d.Acepto->click(); }).textos.value(0);
    EXPECT_EQ(mensaje, QStringLiteral("Si la versión KV740 es 3 o superior, el grupo debe tener un almacén definido"));
    EXPECT_FALSE(d.aceptado());
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(QFile::exists(rutaIni()));
}

// With no surcharge set, each department's legal one is proposed; a set one is kept.
TEST_F(DialogoConfigurar, SurchargesAreProposedFromTheVatWhenNoneIsSet)
{
    EXPECT_FLOAT_EQ(RecargoLegal(21), 5.2f);
    EXPECT_FLOAT_EQ(RecargoLegal(10), 1.4f);
    EXPECT_FLOAT_EQ(RecargoLegal(4), 0.5f);
    EXPECT_FLOAT_EQ(RecargoLegal(0), 0.0f);
    EXPECT_FLOAT_EQ(RecargoLegal(7), 0.0f);
    {
        Configurar d;
        for (int i = 1; i <= 10; ++i) {
            const auto iva = Global::IVADepartamento[static_cast<size_t>(i)];
            EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[static_cast<size_t>(i)], RecargoLegal(iva)) << i;
        }
        EXPECT_EQ(d.txREq[1]->text(), QStringLiteral("1,4"));  // 10 %
        EXPECT_EQ(d.txREq[7]->text(), QStringLiteral("5,2"));  // 21 %
    }
    Global::RecargoEquivalencia.fill(0);
    Global::RecargoEquivalencia[2] = 1.0f;
    Configurar d;
    EXPECT_EQ(d.txREq[1]->text(), QString());
    EXPECT_EQ(d.txREq[7]->text(), QString());
}

// The notes keep no trace of the VAT setting: changing it with notes to invoice asks first.
TEST_F(DialogoConfigurar, ChangingTheVatTreatmentWithPendingNotesSaysHowManyAndAsks)
{
    Global::BD->CrearTablasNuevas();
    motor::BaseDeDatos& m = *Global::BD->Motor();
    m.ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre) VALUES (1, 'UNO')"));
    for (const char* nota : {"1, NULL, 0", "2, 0, 0", "3, 5, 0", "4, NULL, 1"})
        m.ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Factura, onLine, Cliente, Fecha) "
                                        "VALUES (%1, 1, '2024-03-01')")
                             .arg(QLatin1String(nota)));
    EXPECT_EQ(Global::BD->ContarAlbaranesPendientes(), 3);
    EXPECT_EQ(Global::BD->ContarAlbaranesPendientes(1, true), 2);  // the scale's note keeps its VAT
    EXPECT_EQ(Global::BD->ContarAlbaranesPendientes(2), 0);
    Configurar d;
    d.show();
    for (const auto boton : {QMessageBox::Cancel, QMessageBox::Ok}) {
        const QString mensaje = Al(boton, [&] { d.opDesgl->click(); }).textos.value(0);
        EXPECT_TRUE(mensaje.startsWith(QStringLiteral("Hay 2 albaranes sin facturar: cambiará su importe"))) << qPrintable(mensaje);
        EXPECT_TRUE(mensaje.endsWith(QStringLiteral("¿SEGURO?")));
        EXPECT_EQ(Global::IVADesglosado, boton == QMessageBox::Ok);
        EXPECT_EQ(d.opDesgl->isChecked(), boton == QMessageBox::Ok);
    }
}

// The shop's own data: asked here, its NIF checked, kept in the database for every station;
// the listing header follows its name unless the user wrote another.
TEST_F(DialogoConfigurar, TheShopsDataIsCheckedAndKeptInTheDatabase)
{
    Global::BD->CrearTablasNuevas();
    {
        Configurar d;
        d.show();
        QTest::keyClicks(d.txComercioNombre, QStringLiteral("ULTRAMARINOS PEPA"));
        EXPECT_EQ(d.txNombreEmpresa->text(), QStringLiteral("ULTRAMARINOS PEPA"));
        d.txComercioDireccion->setText(QStringLiteral("Calle Real, 3"));
        d.txComercioNIF->setText(QStringLiteral("B12345675"));
        const QString mensaje = Al(QMessageBox::Ok, [&] { d.Acepto->click(); }).textos.value(0);
        EXPECT_TRUE(mensaje.startsWith(QStringLiteral("El N.I.F. del comercio no es válido"))) << qPrintable(mensaje);
        EXPECT_FALSE(d.aceptado());
        EXPECT_EQ(Global::BD->LeerComercio(), DatosComercio{});
        d.txComercioNIF->setText(QStringLiteral("b-12345674"));
        d.Acepto->click();
        EXPECT_TRUE(d.aceptado());
    }
    BaseDatos otra(base->ruta);
    const DatosComercio guardados = otra.LeerComercio();
    EXPECT_EQ(guardados.Nombre, QStringLiteral("ULTRAMARINOS PEPA"));
    EXPECT_EQ(guardados.NIF, QStringLiteral("B12345674"));
    EXPECT_EQ(guardados.Direccion, QStringLiteral("Calle Real, 3"));
    EXPECT_EQ(Global::NombreEmpresa, QStringLiteral("ULTRAMARINOS PEPA"));

    Configurar d;
    d.show();
    EXPECT_EQ(d.txComercioNombre->text(), QStringLiteral("ULTRAMARINOS PEPA"));
    EXPECT_EQ(d.txComercioNIF->text(), QStringLiteral("B12345674"));
    d.txNombreEmpresa->setText(QStringLiteral("PEPA - LISTADOS"));
    QTest::keyClicks(d.txComercioNombre, QStringLiteral(", S.L."));
    EXPECT_EQ(d.txNombreEmpresa->text(), QStringLiteral("PEPA - LISTADOS"));
}

TEST_F(DialogoConfigurar, VerifactuIsTurnedOnWithConsentForTheWholeDatabaseAndStaysOnOnceRecorded)
{
    Global::BD->CrearTablasNuevas();
    Contestador c;
    {
        Configurar d;
        d.show();
        EXPECT_FALSE(d.chkVerifactu->isChecked());
        EXPECT_TRUE(d.opPruebas->isChecked());
        // Declining leaves it off; accepting says what changes for the shop first.
        c.Responder(QMessageBox::No);
        d.chkVerifactu->click();
        ASSERT_TRUE(c.Esperar());
        EXPECT_FALSE(d.chkVerifactu->isChecked());
        c.Responder(QMessageBox::Yes);
        d.chkVerifactu->click();
        ASSERT_TRUE(c.Esperar());
        EXPECT_TRUE(d.chkVerifactu->isChecked());
        ASSERT_EQ(c.textos.size(), 2);
        for (const char* dicho : {"registro de facturación encadenado", "código QR", "factura rectificativa", "anulando",
                                  "ya no se puede desactivar"})
            EXPECT_TRUE(c.textos[1].contains(QString::fromUtf8(dicho))) << dicho;
        QTest::keyClicks(d.txNumeroInstalacion, QStringLiteral("CAJA-2"));
        d.opProduccion->click();
        Configurar::elegirCertificado = [](QWidget*, const QString&) { return QStringLiteral("/certificados/tienda.p12"); };
        d.cmdCertificado->click();
        Configurar::elegirCertificado = nullptr;
        // The issuer is the shop: without its NIF nothing is saved.
        c.Ok();
        d.Acepto->click();
        ASSERT_TRUE(c.Esperar());
        EXPECT_TRUE(c.textos.last().contains(QStringLiteral("el emisor de las facturas es el comercio"))) << qPrintable(c.textos.last());
        EXPECT_FALSE(d.aceptado());
        EXPECT_FALSE(Global::BD->LeerVerifactu().Activo);
        d.txComercioNombre->setText(QStringLiteral("CARNES QUENZA SL"));
        d.txComercioNIF->setText(QStringLiteral("B12345674"));
        d.Acepto->click();
        EXPECT_TRUE(d.aceptado());
    }
    {
        // Another station reads the same mode from the database.
        BaseDatos otra(base->ruta);
        EXPECT_EQ(otra.LeerVerifactu(), (AjustesVerifactu{true, QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL"),
                                                         QStringLiteral("CAJA-2"), QDir::toNativeSeparators(QStringLiteral("/certificados/tienda.p12")), false}));
    }
    {
        // Before the first record it can still be turned off.
        Configurar d;
        d.show();
        EXPECT_TRUE(d.chkVerifactu->isChecked());
        EXPECT_TRUE(d.opProduccion->isChecked());
        d.chkVerifactu->click();
        d.Acepto->click();
        EXPECT_TRUE(d.aceptado());
        EXPECT_FALSE(Global::BD->LeerVerifactu().Activo);
        EXPECT_EQ(Global::BD->LeerVerifactu().NumeroInstalacion, QStringLiteral("CAJA-2"));
    }
    AjustesVerifactu a = Global::BD->LeerVerifactu();
    a.Activo = true;
    Global::BD->GuardarVerifactu(a);
    Global::BD->Motor()->ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, NIF) VALUES (1, 'BAR', 'B46000006')"));
    Factura f(*Global::BD);
    ASSERT_TRUE(f.WhoAmI());
    ASSERT_TRUE(f.SetCliente(1));
    LineaFactura* l = f.NuevaLinea();
    l->FijarConcepto(QStringLiteral("Género"));
    l->FijarImporte(10.0);
    l->FijarpIVA(10);
    ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();

    Configurar d;
    d.show();
    EXPECT_TRUE(d.lbVerifactu->text().contains(QStringLiteral("no se puede desactivar")));
    c.Olvidar();
    c.Ok();
    d.chkVerifactu->click();
    ASSERT_TRUE(c.Esperar());
    ASSERT_EQ(c.textos.size(), 1);
    EXPECT_TRUE(c.textos[0].contains(QStringLiteral("ya tiene registros de facturación")));
    EXPECT_TRUE(d.chkVerifactu->isChecked());
    d.Acepto->click();
    EXPECT_TRUE(d.aceptado());
    EXPECT_TRUE(Global::BD->LeerVerifactu().Activo);
}

TEST_F(DialogoConfigurar, AFolderWithoutAUsableDatabaseLeavesThePreviousOneInUseAndAcceptWritesTheSettings)
{
    BaseDatos* anterior = Global::BD.get();
    QTemporaryDir vacia;
    QString elegida = vacia.path();
    Configurar::elegirCarpeta = [&](QWidget*, const QString&, const QString&) { return elegida; };
    Configurar d;
    d.show();
    d.CambHome->click();
    EXPECT_EQ(Global::BD.get(), anterior);
    EXPECT_TRUE(Global::BD->Abierta());
    EXPECT_EQ(Global::HomeDir, base->dir());
    EXPECT_EQ(d.lbHomeDir->text(), base->dir());
    EXPECT_TRUE(d.lbMotivo->isVisible());
    EXPECT_TRUE(d.lbMotivo->text().contains(vacia.path())) << qPrintable(d.lbMotivo->text());
    EXPECT_TRUE(d.lbMotivo->text().contains(QStringLiteral("Se sigue usando la base de datos de «") + base->dir()));
    EXPECT_EQ(d.LstGpos->currentText(), QStringLiteral("0001   TIENDA PRINCIPAL"));
    EXPECT_EQ(Global::Grupo, 1);
    EXPECT_FLOAT_EQ(Global::IVADepartamento[7], 21.0f);

    Configurar::elegirCarpeta = [](QWidget*, const QString&, const QString&) { return QString(); };
    d.CambHome->click();  // cancelled: nothing changes
    EXPECT_EQ(Global::HomeDir, base->dir());

    // Accepting writes the settings.
    d.opHta2->click();
    d.opDesgl->click();
    d.txNombreEmpresa->setText(QStringLiteral("ULTRAMARINOS PEPA"));
    d.Acepto->click();
    EXPECT_TRUE(d.aceptado());
    EXPECT_EQ(Global::Precio, 2);
    EXPECT_TRUE(Global::IVADesglosado);
    Global::Reiniciar();
    LeerConfiguracion();
    EXPECT_EQ(Global::Grupo, 1);
    EXPECT_EQ(Global::HomeDir, base->dir());
    EXPECT_EQ(Global::NombreEmpresa, QStringLiteral("ULTRAMARINOS PEPA"));
    EXPECT_EQ(Global::Precio, 2);
    EXPECT_TRUE(Global::IVADesglosado);
}

TEST_F(DialogoConfigurar, ANewFolderIsPreparedAsAtStartUp)
{
    BaseDePrueba otra;  // only the KV740 tables: the program's are made on the way in
    Configurar::elegirCarpeta = [&](QWidget*, const QString&, const QString&) { return otra.dir(); };
    Configurar d;
    d.show();
    d.CambHome->click();
    EXPECT_FALSE(d.lbMotivo->isVisible()) << qPrintable(d.lbMotivo->text());
    EXPECT_EQ(Global::HomeDir, otra.dir());
    ASSERT_TRUE(Global::BD->Abierta());
    EXPECT_EQ(Global::BD->Motor()->ruta(), otra.ruta);
    for (const char* tabla : {"Cliente", "AlbaranVentaCabecera", "FacturaVentaDetalle"})
        EXPECT_TRUE(Global::BD->Motor()->existeTabla(QString::fromLatin1(tabla))) << tabla;
    EXPECT_TRUE(Global::BD->Motor()->existeConsulta(QStringLiteral("ListaAlbaranes")));
    EXPECT_TRUE(Global::BD->ListaAlbaranes().empty());  // no "no such table"
    EXPECT_EQ(d.LstGpos->currentText(), QStringLiteral("0001   TIENDA PRINCIPAL"));
}

TEST_F(DialogoConfigurar, AnUpgradeThatFailsSaysWhichStepAndKeepsThePreviousDatabase)
{
    BaseDePrueba otra;
    {
        motor::BaseDeDatos m(otra.ruta);
        m.ejecutarNativo(QStringLiteral("CREATE TABLE FacturaVentaDetalle (Serie SMALLINT, Numero INTEGER)"));
    }
    Configurar::elegirCarpeta = [&](QWidget*, const QString&, const QString&) { return otra.dir(); };
    Configurar d;
    d.show();
    d.CambHome->click();
    EXPECT_TRUE(d.lbMotivo->text().startsWith(QStringLiteral("No se pudo actualizar la base de datos «") + otra.ruta
                                              + QStringLiteral("» (paso 4)")))
        << qPrintable(d.lbMotivo->text());
    EXPECT_EQ(Global::BD->Motor()->ruta(), base->ruta);
    EXPECT_EQ(Global::HomeDir, base->dir());
    motor::BaseDeDatos m(otra.ruta);
    EXPECT_FALSE(m.existeTabla(QStringLiteral("Cliente")));
}

// A folder whose KV740.INI names a database on a server: the connection is tried before the
// database is taken, and each way it can fail is told in Spanish while the previous one stays.
TEST_F(DialogoConfigurar, AServerDatabaseIsTriedAndEachFailureSaysWhy)
{
    std::unique_ptr<BasePostgreSQLDePrueba> vacia;
    const struct {
        const char* caso;
        bool soloServidor;
        std::function<QString()> conexion;
        QString dice;
    } casos[] = {
        {"servidor que no contesta", false, [] { return QStringLiteral("host=127.0.0.1 port=1 dbname=kv740"); },
         QStringLiteral("No se puede conectar con el servidor de la base de datos")},
        {"usuario que no existe", true, [] { return QStringLiteral("dbname=postgres user=quenza_nadie"); },
         QStringLiteral("no acepta el usuario o la contraseña")},
        {"base que no existe", true, [] { return QStringLiteral("dbname=quenza_no_existe"); },
         QStringLiteral("No existe la base de datos «dbname=quenza_no_existe» en el servidor")},
        {"base que no es de KV740", true, [&vacia] {
             vacia = std::make_unique<BasePostgreSQLDePrueba>();
             return vacia->conexion;
         },
         QStringLiteral("no tiene las tablas de KV740")},
    };
    BaseDatos* anterior = Global::BD.get();
    for (const auto& c : casos) {
        SCOPED_TRACE(c.caso);
        if (c.soloServidor && !PruebasEnPostgreSQL())
            continue;
        QTemporaryDir carpeta;
        EscribirArchivo(carpeta.filePath(QStringLiteral("KV740.INI")), "BaseDatos=" + c.conexion().toUtf8() + "\n");
        Configurar::elegirCarpeta = [&](QWidget*, const QString&, const QString&) { return carpeta.path(); };
        Configurar d;
        d.show();
        d.CambHome->click();
        EXPECT_TRUE(d.lbMotivo->text().contains(c.dice)) << qPrintable(d.lbMotivo->text());
        EXPECT_TRUE(d.lbMotivo->text().contains(QStringLiteral("Se sigue usando la base de datos de «") + base->dir()));
        EXPECT_EQ(Global::BD.get(), anterior);
        EXPECT_EQ(Global::HomeDir, base->dir());
        // Done trying: the window is the user's again.
        EXPECT_FALSE(d.lbProbando->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(d.Acepto->isEnabled() && d.Cancelo->isEnabled() && d.CambHome->isEnabled());
    }
}

// A server database is taken after a try the user sees, with the password typed then (a cancel
// says why and writes nothing; the password is never written), and tried again on accepting.
TEST_F(DialogoConfigurar, AServerDatabaseIsTriedWhenChosenAndWhenAccepted)
{
    if (!ServidorConContrasena())
        GTEST_SKIP() << "sin servidor PostgreSQL de pruebas con contraseña (pg_virtualenv da una en PGPASSWORD)";
    const QString clave = qEnvironmentVariable("PGPASSWORD");
    BaseDePrueba otra;
    SinContrasenaConocida sin;
    std::optional<QString> respuesta;
    motor::PedirContrasena = [&](const motor::PeticionContrasena&) { return respuesta; };
    Configurar::elegirCarpeta = [&](QWidget*, const QString&, const QString&) { return otra.dir(); };
    Configurar d;
    d.show();
    d.CambHome->click();
    EXPECT_TRUE(d.lbMotivo->text().contains(QStringLiteral("no se ha escrito la contraseña"))) << qPrintable(d.lbMotivo->text());
    EXPECT_EQ(Global::HomeDir, base->dir());

    respuesta = clave;
    bool probando = false;
    AntesDeActualizarBaseDatos = [&](BaseDatos&) {
        probando = d.lbProbando->isVisible() && d.lbProbando->text().startsWith(QStringLiteral("Probando la conexión"))
            && QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor && !d.Acepto->isEnabled();
    };
    d.CambHome->click();
    AntesDeActualizarBaseDatos = nullptr;
    EXPECT_TRUE(probando);
    EXPECT_FALSE(d.lbMotivo->isVisible()) << qPrintable(d.lbMotivo->text());
    ASSERT_EQ(Global::BD->Motor()->ruta(), otra.ruta);

    // Gone by the time the user accepts: refused with the reason, nothing written.
    motor::BaseDeDatos servidor(ServidorDePruebas());
    const QString cortar = QStringLiteral("SELECT pg_terminate_backend(%1)")
                               .arg(Global::BD->Motor()->valorUnico(QStringLiteral("SELECT pg_backend_pid()")).aEntero());
    servidor.ejecutarNativo(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS false").arg(otra.servidor->nombre));
    servidor.valorUnico(cortar);
    d.Acepto->click();
    EXPECT_FALSE(d.aceptado());
    EXPECT_TRUE(d.lbMotivo->text().contains(QStringLiteral("No se puede conectar con el servidor"))) << qPrintable(d.lbMotivo->text());
    EXPECT_FALSE(QFile::exists(rutaIni()));
    // Back, the old session lost: accepting takes it, with the password kept in memory only.
    servidor.ejecutarNativo(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS true").arg(otra.servidor->nombre));
    respuesta.reset();
    d.Acepto->click();
    ASSERT_TRUE(d.aceptado()) << qPrintable(d.lbMotivo->text());
    for (const QString& ini : {rutaIni(), otra.carpeta.filePath(QStringLiteral("KV740.INI"))}) {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(ini);
        EXPECT_FALSE(f.readAll().contains(clave.toUtf8())) << qPrintable(ini);
    }
}

// The password dialog the program sets for the store: who asks and why, the password hidden,
// typed and accepted with Enter, or cancelled; the wait cursor of the try around it comes back.
TEST(DialogoContrasena, GivesWhatWasTypedOrNothingWhenCancelled)
{
    AplicacionDePrueba();
    const motor::PeticionContrasena peticion{QStringLiteral("servidor:5432"), QStringLiteral("tienda"), QStringLiteral("kv740"),
                                              QStringLiteral("El servidor no ha aceptado esa contraseña.")};
    Contestador contestador;
    contestador.AlDialogo([](QDialog* w) {
        auto* d = qobject_cast<DialogoContrasena*>(w);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->lbServidor->text(), QStringLiteral("servidor:5432 (base de datos kv740)"));
        EXPECT_EQ(d->lbUsuario->text(), QStringLiteral("tienda"));
        EXPECT_TRUE(d->lbMotivo->isVisible());
        EXPECT_EQ(d->txContrasena->echoMode(), QLineEdit::Password);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
        QTest::keyClicks(d->txContrasena, QStringLiteral("sesamo 1"));
        QTest::keyClick(d->txContrasena, Qt::Key_Return);
    });
    contestador.AlDialogo([](QDialog* w) { static_cast<DialogoContrasena*>(w)->Cancelo->click(); });
    QApplication::setOverrideCursor(Qt::WaitCursor);
    EXPECT_EQ(DialogoContrasena::Preguntar(peticion), std::optional<QString>(QStringLiteral("sesamo 1")));
    EXPECT_EQ(DialogoContrasena::Preguntar(peticion), std::nullopt);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_FALSE(contestador.Pendiente());
}

TEST_F(DialogoConfigurar, WithoutADatabaseTheStoredGroupStays)
{
    Global::BD.reset();
    Global::HomeDir = programa.path();  // no KV740 here
    LeerConfiguracionKV740();
    Global::Grupo = 2;
    Global::RecargoEquivalencia[1] = 1.4f;
    Configurar d;
    d.show();
    EXPECT_EQ(d.LstGpos->count(), 0);
    EXPECT_EQ(Global::Grupo, 2);
    d.Acepto->click();  // nothing to accept without a database: says why
    EXPECT_FALSE(d.aceptado());
    EXPECT_TRUE(d.lbMotivo->text().contains(QStringLiteral("KV740.INI"))) << qPrintable(d.lbMotivo->text());
    EXPECT_FALSE(QFile::exists(rutaIni()));

    Configurar::elegirCarpeta = [this](QWidget*, const QString&, const QString&) { return base->dir(); };
    d.CambHome->click();
    EXPECT_FALSE(d.lbMotivo->isVisible());
    EXPECT_EQ(Global::Grupo, 2);
    EXPECT_EQ(d.LstGpos->currentText(), QStringLiteral("0002   PUESTO MERCADO"));
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[1], 1.4f);
}

TEST_F(DialogoConfigurar, RemembersWhereItWasInTwips)
{
    Global::TwipsPorPixelX = Global::TwipsPorPixelY = 15;
    {
        Configurar d;
        d.show();
        d.setGeometry(120, 80, 820, 760);
        d.Cancelo->click();
    }
    const auto guardada = LeerPosicionVentana(QStringLiteral("Configurar"));
    ASSERT_TRUE(guardada.has_value());
    EXPECT_EQ((*guardada)[2], 820 * 15);
    EXPECT_EQ((*guardada)[3], 760 * 15);
    Configurar otra;
    EXPECT_EQ(otra.size(), QSize(820, 760));
}

}  // namespace
