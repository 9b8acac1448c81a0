#include "browcli.h"
#include "contestador.h"
#include "entorno.h"
#include "global.h"
#include "listado.h"
#include "listafilas.h"
#include "uncliente.h"
#include "vistaprevia.h"

#include <QCheckBox>
#include <QLabel>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <QTest>

#include <memory>

namespace {

// Types any text, letters outside ASCII included, key by key.
void Escribir(QWidget* w, const QString& texto)
{
    for (const QChar c : texto)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

class Clientes : public ::testing::Test {
protected:
    void SetUp() override
    {
        AplicacionDePrueba();
        Global::Reiniciar();
        Global::DirectorioPrograma = base.dir();
        Global::RutaBaseDatos = base.ruta;
        Global::NombreEmpresa = QStringLiteral("Carnicería Pruebas");
        Global::BD = std::make_unique<BaseDatos>(base.ruta);
        Global::BD->CrearTablasNuevas();
        kv740::CargarDocumentosDemo(*Global::BD->Motor(), QDate::currentDate());
        m_area = std::make_unique<QMdiArea>();
        m_area->resize(1000, 700);
        setAreaVentanas(m_area.get());
        m_area->show();
    }
    void TearDown() override
    {
        // Without questions: the windows go with the area.
        for (QMdiSubWindow* w : area().subWindowList())
            delete w;
        m_area.reset();
        setAreaVentanas(nullptr);
        Navegadores::abrirAlbaranes = nullptr;
        Navegadores::abrirFacturas = nullptr;
        Global::Reiniciar();
    }

    BrowCli* Abrir()
    {
        BrowCli* b = BrowCli::Abrir();
        QApplication::processEvents();
        return b;
    }
    qint64 Contar(const QString& sql) { return Global::BD->Motor()->valorUnico(sql).aEntero(); }
    Coleccion Leer(qint32 codigo)
    {
        Coleccion c;
        EXPECT_TRUE(Global::BD->ConsultaCliente(codigo, c)) << codigo;
        return c;
    }
    static void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    QMdiArea& area() { return *m_area; }

    BaseDePrueba base;
    std::unique_ptr<QMdiArea> m_area;
};

TEST_F(Clientes, OneBrowserListsTheCustomersByCodeAndRegistersItself)
{
    BrowCli* b = Abrir();
    EXPECT_EQ(Abrir(), b);
    EXPECT_EQ(area().subWindowList().size(), 1);
    EXPECT_EQ(Navegadores::clientes, b);
    EXPECT_EQ(b->Grd->Rows(), 7);
    EXPECT_EQ(b->Grd->Row(), 1);
    EXPECT_EQ(b->Grd->TextMatrix(1, 0), QStringLiteral("1"));
    EXPECT_EQ(b->Grd->TextMatrix(6, 1), QStringLiteral("NUÑEZ IBAÑEZ, PEPA (CAFETERIA)"));
    EXPECT_EQ(b->Grd->TextMatrix(2, 2), QStringLiteral("12345678Z"));
}

TEST_F(Clientes, SortingAndReloadingKeepTheirRow)
{
    BrowCli* b = Abrir();
    b->Grd->setRow(3);
    QHeaderView* titulos = b->Grd->horizontalHeader();
    QTest::mouseDClick(titulos->viewport(), Qt::LeftButton, {}, QPoint(titulos->sectionViewportPosition(2) + 5, 5));
    EXPECT_EQ(b->Orden(), QStringLiteral("NIF"));
    EXPECT_EQ(b->Grd->Row(), 3);
    EXPECT_EQ(b->Grd->TextMatrix(1, 2), QStringLiteral("12345678Z"));
    EXPECT_EQ(b->Grd->TextMatrix(6, 2), QStringLiteral("B46987657"));

    b->Refresco(5);  // with a code: its row
    EXPECT_EQ(b->Grd->TextMatrix(b->Grd->Row(), 0), QStringLiteral("5"));
    b->Refresco(999);  // a code not listed: the first row
    EXPECT_EQ(b->Grd->Row(), 1);
    b->Grd->setRow(6);
    Global::BD->EliminarCliente(6);
    b->Refresco(std::nullopt);  // the remembered row is gone: the last one
    EXPECT_EQ(b->Grd->Row(), 5);

    Global::BD->Motor()->ejecutar(QStringLiteral("delete from AlbaranVentaCabecera"));
    Global::BD->Motor()->ejecutar(QStringLiteral("delete from Cliente"));
    b->Refresco(std::nullopt);
    EXPECT_EQ(b->Grd->Rows(), 1);
    EXPECT_EQ(b->Grd->Row(), 0);
    Global::BD->Motor()->ejecutar(QStringLiteral("insert into Cliente (Codigo, Nombre) values (1, 'A'), (2, 'B')"));
    b->Refresco(std::nullopt);  // from no row to the first
    EXPECT_EQ(b->Grd->Row(), 1);
}

// A long list shows its first page at once and reads the rest behind it, in every order; a
// customer asked for, or typed, beyond what has come is found.
TEST_F(Clientes, ALongListShowsItsFirstRowsAndReadsTheRestBehind)
{
    const int total = 900;
    {
        motor::BaseDeDatos::Transaccion t(*Global::BD->Motor());
        for (int n = 100; n < 100 + total; ++n)
            Global::BD->Motor()->ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, NIF) VALUES (?, ?, ?)"),
                                                {n, QStringLiteral("ZZ CLIENTE %1").arg(2000 - n), QStringLiteral("X%1").arg(n)});
        // A name with accents and one with none, each engine's last (or first) in the name order.
        Global::BD->Motor()->ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre) VALUES (90, 'ZZ ÑANDÚ ÁVILA'), (91, NULL)"));
        t.commit();
    }
    const int filas = static_cast<int>(Global::BD->ListaClientes().size());
    BrowCli* b = BrowCli::Abrir();
    EXPECT_TRUE(b->Leyendo());
    EXPECT_LT(b->Grd->Rows(), filas + 1);
    b->Refresco(950);
    EXPECT_EQ(b->Grd->TextMatrix(b->Grd->Row(), 0), QStringLiteral("950"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return b->Grd->Rows() == filas + 1; }, 10000));

    b->Grd->setRow(1);
    emit b->Grd->dobleClicTitulo(1);  // the name's title
    EXPECT_EQ(b->Orden(), QStringLiteral("Nombre"));
    EXPECT_LT(b->Grd->Rows(), filas + 1);
    // Typing a name that has not come yet finds it.
    Escribir(b->Grd, QStringLiteral("zz cliente 1500"));
    EXPECT_EQ(b->Grd->TextMatrix(b->Grd->Row(), 0), QStringLiteral("500"));
    ASSERT_EQ(b->Grd->Rows(), filas + 1);
    b->Grd->setRow(1);
    QTest::qWait(QApplication::keyboardInputInterval() + 50);  // a new search, not more letters
    Escribir(b->Grd, QStringLiteral("zz ñandu avila"));
    EXPECT_EQ(b->Grd->TextMatrix(b->Grd->Row(), 0), QStringLiteral("90"));
    const std::vector<FilaCliente> entera = Global::BD->ListaClientes(QStringLiteral("Nombre"));
    for (const int fila : {1, 200, 201, 451, filas})
        EXPECT_EQ(b->Grd->TextMatrix(fila, 0), entera[static_cast<size_t>(fila - 1)].Codigo.aTexto()) << fila;
}

TEST_F(Clientes, NewCustomerTypedAndSavedRoundTripsAndIsSelected)
{
    BrowCli* b = Abrir();
    Click(b->Nuevo);
    UnCliente* e = b->Editor(0);
    ASSERT_TRUE(e);
    b->MnNuevo->trigger();  // the same editor, not a second one
    EXPECT_EQ(b->Editor(0), e);
    EXPECT_EQ(area().subWindowList().size(), 2);
    EXPECT_EQ(e->windowTitle(), QStringLiteral("Datos de un cliente"));
    EXPECT_EQ(e->txCodigo->text(), QStringLiteral("7"));

    const QString nombre = QStringLiteral("O'Neill & Hijos, S.L. Ñ €");
    Escribir(e->txNombre, nombre);
    ASSERT_EQ(e->txNombre->text(), nombre);
    QTest::keyClicks(e->txNIF, QStringLiteral("B12345674"));
    Escribir(e->txDireccion1, QStringLiteral("C/ Peñíscola, 3 \"bajo\""));
    QTest::keyClicks(e->txEmail, QStringLiteral("oneill@example.com"));
    QTest::keyClicks(e->txDescto, QStringLiteral("2.5"));
    e->ckUsaREq->setChecked(true);
    const Dicho m = Al(QMessageBox::Ok, [&] { Click(e->Acepta); });
    EXPECT_TRUE(m.textos.isEmpty()) << m.textos.join(QLatin1Char('|')).toStdString();
    QApplication::processEvents();
    EXPECT_FALSE(b->Editor(0));
    EXPECT_EQ(area().subWindowList().size(), 1);
    EXPECT_EQ(b->Grd->TextMatrix(b->Grd->Row(), 0), QStringLiteral("7"));

    const Coleccion c = Leer(7);
    EXPECT_EQ(c.valor(QStringLiteral("Nombre")).aTexto(), nombre);
    EXPECT_EQ(c.valor(QStringLiteral("Direccion1")).aTexto(), QStringLiteral("C/ Peñíscola, 3 \"bajo\""));
    EXPECT_FLOAT_EQ(static_cast<float>(c.valor(QStringLiteral("Descuento")).aNumero()), 2.5f);
    EXPECT_TRUE(c.valor(QStringLiteral("UsaREq")).aBooleano());

    b->Edita_Click();
    UnCliente* otra = b->Editor(7);
    ASSERT_TRUE(otra);
    EXPECT_EQ(otra->txNombre->text(), nombre);
    EXPECT_EQ(otra->txDescto->text(), QStringLiteral("2,5"));
    EXPECT_TRUE(otra->ckUsaREq->isChecked());
    EXPECT_FALSE(otra->Cambios());
}

TEST_F(Clientes, DiscountIsReadWithEitherMarkAndRefusedOutsideZeroToHundred)
{
    EXPECT_FLOAT_EQ(*LeerDescuento(QStringLiteral("2,5")), 2.5f);
    EXPECT_FLOAT_EQ(*LeerDescuento(QStringLiteral("2.5")), 2.5f);
    EXPECT_FALSE(LeerDescuento(QStringLiteral(",")));
    EXPECT_FALSE(LeerDescuento(QStringLiteral("1.000,5")));

    BrowCli* b = Abrir();
    b->Grd->setRow(4);  // customer 4, discount 2
    Click(b->Edita);
    UnCliente* e = b->Editor(4);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->txDescto->text(), QStringLiteral("2,0"));
    e->txDescto->selectAll();
    QTest::keyClicks(e->txDescto, QStringLiteral("x1"));  // the letter is not taken
    Dicho m = Al(QMessageBox::Ok, [&] { QTest::keyClicks(e->txDescto, QStringLiteral("50")); });
    EXPECT_EQ(e->txDescto->text(), QStringLiteral("15"));  // "150" refused at the field
    ASSERT_EQ(m.textos.size(), 1);
    EXPECT_TRUE(m.textos[0].startsWith(QStringLiteral("El descuento ha de estar entre 0 y 100.")));

    e->txDescto->setText(QStringLiteral("250"));  // pasted past the key filter
    m = Al(QMessageBox::Ok, [&] { Click(e->Acepta); });
    ASSERT_EQ(m.textos.size(), 1);
    EXPECT_TRUE(b->Editor(4));
    EXPECT_FLOAT_EQ(static_cast<float>(Leer(4).valor(QStringLiteral("Descuento")).aNumero()), 2.0f);

    e->txDescto->setText(QStringLiteral("12,5"));
    Al(QMessageBox::Ok, [&] { Click(e->Acepta); });
    EXPECT_FLOAT_EQ(static_cast<float>(Leer(4).valor(QStringLiteral("Descuento")).aNumero()), 12.5f);

    b->Edita_Click();
    e = b->Editor(4);
    ASSERT_TRUE(e);
    e->txDescto->setText(QStringLiteral(","));  // not a number: no discount
    Al(QMessageBox::Ok, [&] { Click(e->Acepta); });
    EXPECT_EQ(Leer(4).valor(QStringLiteral("Descuento")).aNumero(), 0.0);
}

TEST_F(Clientes, ANameIsRequiredAndAWrongNifIsKeptOnlyWhenAsked)
{
    BrowCli* b = Abrir();
    Click(b->Nuevo);
    UnCliente* e = b->Editor(0);
    ASSERT_TRUE(e);
    QTest::keyClicks(e->txNombre, QStringLiteral("   "));
    Dicho m = Al(QMessageBox::Ok, [&] { Click(e->Acepta); });
    EXPECT_EQ(m.textos, QStringList{QStringLiteral("Falta el nombre del cliente: escríbalo y vuelva a guardar.")});
    EXPECT_EQ(b->Editor(0), e);
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from Cliente")), 6);

    QTest::keyClicks(e->txNombre, QStringLiteral("NIF PRUEBA"));
    QTest::keyClicks(e->txNIF, QStringLiteral("B46000000"));
    m = Al(QMessageBox::No, [&] { Click(e->Acepta); });
    ASSERT_EQ(m.textos.size(), 1);
    EXPECT_TRUE(m.textos[0].startsWith(QStringLiteral("El N.I.F. B46000000 no es correcto"))) << m.textos[0].toStdString();
    EXPECT_EQ(b->Editor(0), e);
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from Cliente")), 6);
    m = Al(QMessageBox::Yes, [&] { Click(e->Acepta); });
    EXPECT_EQ(m.textos.size(), 1);
    EXPECT_EQ(Leer(7).valor(QStringLiteral("NIF")).aTexto(), QStringLiteral("B46000000"));

    // A right one is kept as it is written on documents.
    b->Edita_Click();
    e = b->Editor(7);
    ASSERT_TRUE(e);
    e->txNIF->setText(QStringLiteral("b-46000006"));
    EXPECT_TRUE(Al(QMessageBox::Ok, [&] { Click(e->Acepta); }).textos.isEmpty());
    EXPECT_EQ(Leer(7).valor(QStringLiteral("NIF")).aTexto(), QStringLiteral("B46000006"));
    // Another country's VAT number is not ours to check.
    b->Edita_Click();
    e = b->Editor(7);
    ASSERT_TRUE(e);
    e->txNIF->setText(QStringLiteral("PT123456789"));
    EXPECT_TRUE(Al(QMessageBox::Ok, [&] { Click(e->Acepta); }).textos.isEmpty());
    EXPECT_EQ(Leer(7).valor(QStringLiteral("NIF")).aTexto(), QStringLiteral("PT123456789"));
}

TEST_F(Clientes, CancellingAsksOnlyWhenSomethingChanged)
{
    BrowCli* b = Abrir();
    b->Edita_Click();
    UnCliente* e = b->Editor(1);
    ASSERT_TRUE(e);
    Dicho m = Al(QMessageBox::Ok, [&] { Click(e->Cancela); });
    EXPECT_TRUE(m.textos.isEmpty());
    QApplication::processEvents();
    EXPECT_FALSE(b->Editor(1));

    b->Edita_Click();
    e = b->Editor(1);
    QTest::keyClicks(e->txTelefono1, QStringLiteral("961234567"));
    m = Al(QMessageBox::Cancel, [&] { Click(e->Cancela); });
    EXPECT_EQ(m.textos, QStringList{QStringLiteral("Abandonar los cambios realizados: ¿SEGURO?")});
    EXPECT_TRUE(b->Editor(1));
    m = Al(QMessageBox::NoButton, [&] { Click(e->Cancela); });  // Enter keeps the changes
    EXPECT_EQ(m.textos.size(), 1);
    EXPECT_TRUE(b->Editor(1));
    // Closing by the window's frame loses the same changes: the same question.
    m = Al(QMessageBox::Cancel, [&] { e->parentWidget()->close(); });
    EXPECT_EQ(m.textos.size(), 1);
    EXPECT_TRUE(b->Editor(1));
    m = Al(QMessageBox::Ok, [&] { Click(e->Cancela); });
    EXPECT_EQ(m.textos.size(), 1);
    QApplication::processEvents();
    EXPECT_FALSE(b->Editor(1));
    EXPECT_EQ(Leer(1).valor(QStringLiteral("Telefono1")).aTexto(), QString());

    Click(b->Nuevo);  // a new customer always asks
    m = Al(QMessageBox::Ok, [&] { Click(b->Editor(0)->Cancela); });
    EXPECT_EQ(m.textos.size(), 1);
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from Cliente")), 6);
}

TEST_F(Clientes, SavingUnderAnExistingCodeFailsAndKeepsTheEditor)
{
    BrowCli* b = Abrir();
    Click(b->Nuevo);
    UnCliente* e = b->Editor(0);
    e->txCodigo->setText(QStringLiteral("3"));
    QTest::keyClicks(e->txNombre, QStringLiteral("DUPLICADO"));
    const Dicho m = Al(QMessageBox::Ok, [&] { Click(e->Acepta); });
    ASSERT_EQ(m.textos.size(), 1);
    EXPECT_EQ(m.textos[0].split(QLatin1Char('\n')).value(1), QStringLiteral("Posiblemente hay códigos duplicados."));
    EXPECT_EQ(m.iconos[0], QMessageBox::Critical);
    EXPECT_EQ(b->Editor(0), e);
    EXPECT_EQ(Leer(3).valor(QStringLiteral("Nombre")).aTexto(), QStringLiteral("RESTAURANTE LA RIBERA S.L."));

    e->txCodigo->setText(QStringLiteral("x"));  // not numeric: nothing happens
    EXPECT_TRUE(Al(QMessageBox::Ok, [&] { Click(e->Acepta); }).textos.isEmpty());
    EXPECT_EQ(b->Editor(0), e);
}

// Two PCs with the same customer open: the second save does not wipe out the first one's change.
TEST_F(Clientes, ASaveNeverOverwritesAnotherStationsChange)
{
    BrowCli* b = Abrir();
    b->Grd->setRow(3);
    b->Edita_Click();
    UnCliente* e = b->Editor(3);
    ASSERT_NE(e, nullptr);
    {
        motor::BaseDeDatos otroPuesto(base.ruta);
        otroPuesto.ejecutarNativo(QStringLiteral("UPDATE Cliente SET Telefono1 = '961000111' WHERE Codigo = 3"));
    }
    QTest::keyClicks(e->txNombre, QStringLiteral(" BIS"));
    const Dicho m = Al(QMessageBox::Ok, [&] { Click(e->Acepta); });
    ASSERT_EQ(m.textos.size(), 1);
    EXPECT_TRUE(m.textos[0].startsWith(QStringLiteral("Otro puesto ha cambiado el cliente 3"))) << qPrintable(m.textos[0]);
    EXPECT_EQ(b->Editor(3), e);  // still open with what was typed
    const Coleccion guardado = Leer(3);
    EXPECT_EQ(guardado.valor(QStringLiteral("Telefono1")).aTexto(), QStringLiteral("961000111"));
    EXPECT_EQ(guardado.valor(QStringLiteral("Nombre")).aTexto(), QStringLiteral("RESTAURANTE LA RIBERA S.L."));

    // Opened again, it shows the other station's change and saves.
    Al(QMessageBox::Ok, [&] { Click(e->Cancela); });
    QApplication::processEvents();
    b->Edita_Click();
    e = b->Editor(3);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->txTelefono1->text(), QStringLiteral("961000111"));
    QTest::keyClicks(e->txNombre, QStringLiteral(" BIS"));
    EXPECT_TRUE(Al(QMessageBox::Ok, [&] { Click(e->Acepta); }).textos.isEmpty());
    EXPECT_EQ(Leer(3).valor(QStringLiteral("Nombre")).aTexto(), QStringLiteral("RESTAURANTE LA RIBERA S.L. BIS"));
}

TEST_F(Clientes, ANewCodeForAStoredCustomerCarriesItsNotesAndInvoices)
{
    Global::BD->Motor()->ejecutar(QStringLiteral(
        "insert into FacturaVentaCabecera (Serie, Numero, Fecha, Cliente, Pagado) values (1, 900, '2026-01-10', 1, 0)"));
    const qint64 notas = Contar(QStringLiteral("select count(*) from AlbaranVentaCabecera where Cliente=1"));
    ASSERT_GT(notas, 0);
    BrowCli* b = Abrir();
    b->Edita_Click();
    UnCliente* e = b->Editor(1);
    e->txCodigo->setText(QStringLiteral("101"));
    EXPECT_TRUE(Al(QMessageBox::Ok, [&] { Click(e->Acepta); }).textos.isEmpty());
    QApplication::processEvents();
    EXPECT_FALSE(b->Editor(1));
    EXPECT_EQ(b->Grd->TextMatrix(b->Grd->Row(), 0), QStringLiteral("101"));
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from Cliente where Codigo=1")), 0);
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from AlbaranVentaCabecera where Cliente=101")), notas);
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from AlbaranVentaCabecera where Cliente=1")), 0);
    EXPECT_EQ(Contar(QStringLiteral("select Cliente from FacturaVentaCabecera where Numero=900")), 101);
}

TEST_F(Clientes, DeletingAsksAndIsRefusedForCustomersWithDocumentsOrAnEditor)
{
    BrowCli* b = Abrir();
    b->Grd->setRow(2);  // customer 2 has delivery notes
    Dicho m = Al(QMessageBox::Ok, [&] { Click(b->Borra); });
    ASSERT_EQ(m.textos.size(), 2);
    EXPECT_EQ(m.textos[0], QStringLiteral("Eliminar un cliente completo: ¿SEGURO?"));
    EXPECT_EQ(m.textos[1], QStringLiteral("Error al eliminar el cliente.\nPosiblemente figure en albaranes o facturas.\n"
                                          "Deberá eliminar primero dichos documentos."));
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from Cliente")), 6);
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from AlbaranVentaCabecera where Cliente=2")), 4);
    EXPECT_EQ(b->Grd->Row(), 2);

    b->Grd->setRow(5);
    m = Al(QMessageBox::Cancel, [&] { b->MnEliminar->trigger(); });
    EXPECT_EQ(m.textos.size(), 1);
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from Cliente where Codigo=5")), 1);

    b->Edita_Click();
    m = Al(QMessageBox::Ok, [&] { Click(b->Borra); });
    EXPECT_EQ(m.textos, QStringList{QStringLiteral("El cliente se está editando: No se puede eliminar ahora")});
    Al(QMessageBox::Ok, [&] { Click(b->Editor(5)->Cancela); });
    QApplication::processEvents();

    m = Al(QMessageBox::Ok, [&] { Click(b->Borra); });
    EXPECT_EQ(m.textos.size(), 1);
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from Cliente where Codigo=5")), 0);
    EXPECT_EQ(b->Grd->Rows(), 6);
}

// Keyboard only: Enter opens the customer under the cursor, Insert a new one, Delete asks first.
TEST_F(Clientes, TheKeyboardOpensAddsAndDeletes)
{
    BrowCli* b = Abrir();
    b->Grd->setRow(3);
    QTest::keyClick(b->Grd, Qt::Key_Return);
    ASSERT_NE(b->Editor(3), nullptr);
    EXPECT_EQ(b->Editor(3)->txNombre->text(), QStringLiteral("RESTAURANTE LA RIBERA S.L."));
    QTest::keyClick(b->Grd, Qt::Key_Insert);
    EXPECT_NE(b->Editor(0), nullptr);
    b->Grd->setRow(6);
    Dicho m = Al(QMessageBox::Cancel, [&] { QTest::keyClick(b->Grd, Qt::Key_Delete); });
    EXPECT_EQ(m.textos, QStringList{QStringLiteral("Eliminar un cliente completo: ¿SEGURO?")});
    EXPECT_EQ(Contar(QStringLiteral("select count(*) from Cliente where Codigo=6")), 1);
}

TEST_F(Clientes, TheActionsMenuOpensOnTheRowUnderThePointer)
{
    std::vector<std::pair<QString, long>> pedidos;
    Navegadores::abrirAlbaranes = [&](std::optional<long> c, QDate desde, QDate hasta) {
        EXPECT_TRUE(desde.isNull() && hasta.isNull());
        pedidos.emplace_back(QStringLiteral("alb"), c.value_or(-1));
    };
    Navegadores::abrirFacturas = [&](std::optional<long> c, QDate, QDate) { pedidos.emplace_back(QStringLiteral("fac"), c.value_or(-1)); };
    BrowCli* b = Abrir();
    const QRect fila3 = b->Grd->visualRect(b->Grd->model()->index(2, 1));
    QTest::mouseClick(b->Grd->viewport(), Qt::RightButton, {}, fila3.center());
    EXPECT_TRUE(b->MnuBase->isVisible());
    EXPECT_EQ(b->Grd->Row(), 3);
    QStringList entradas;
    for (QAction* a : b->MnuBase->actions())
        entradas << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(entradas, (QStringList{"&Editar", "Eli&minar", "Ver &Albaranes", "Ver &Facturas", "-", "&Nuevo"}));
    b->MnuBase->hide();
    b->MnAlbaranes->trigger();
    b->MnFacturas->trigger();
    EXPECT_EQ(pedidos, (std::vector<std::pair<QString, long>>{{"alb", 3}, {"fac", 3}}));

    b->MnEditar->trigger();
    EXPECT_TRUE(b->Editor(3));
    // A double click on a row edits it too.
    const QRect fila2 = b->Grd->visualRect(b->Grd->model()->index(1, 0));
    QTest::mouseClick(b->Grd->viewport(), Qt::LeftButton, {}, fila2.center());
    QTest::mouseDClick(b->Grd->viewport(), Qt::LeftButton, {}, fila2.center());
    EXPECT_TRUE(b->Editor(2));
}

TEST_F(Clientes, AnEditorOfACustomerDeletedElsewhereIsNotOpened)
{
    BrowCli* b = Abrir();
    b->Grd->setRow(6);
    Global::BD->Motor()->ejecutar(QStringLiteral("delete from Cliente where Codigo=6"));
    const Dicho m = Al(QMessageBox::Ok, [&] { b->Edita_Click(); });
    EXPECT_EQ(m.textos.size(), 1);
    EXPECT_FALSE(b->Editor(6));
    EXPECT_EQ(area().subWindowList().size(), 1);
    EXPECT_EQ(b->Grd->Rows(), 6);
}

TEST_F(Clientes, TheListingFollowsTheSortColumn)
{
    QFile::copy(QStringLiteral(QUENZA_DATA_DIR "/LstClien.lst"), base.dir() + QStringLiteral("/LstClien.lst"));
    BrowCli* b = Abrir();
    QHeaderView* titulos = b->Grd->horizontalHeader();
    QTest::mouseDClick(titulos->viewport(), Qt::LeftButton, {}, QPoint(titulos->sectionViewportPosition(2) + 5, 5));
    ASSERT_EQ(b->Orden(), QStringLiteral("NIF"));
    Click(b->Imprim);
    VistaPreviaListado* vista = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* v = qobject_cast<VistaPreviaListado*>(w); v && v->isVisible())
            vista = v;
    ASSERT_TRUE(vista);
    EXPECT_EQ(vista->Ejecucion().TituloVentana(), QStringLiteral("Listado general de clientes"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return vista->Ejecucion().Acabada(); }, 5000));
    const ComposicionListado& c = vista->Ejecucion().Composicion();
    QStringList filas;
    for (const LineaListado& l : c.Lineas())
        if (l.tipo == LineaListado::Tipo::Detalle)
            filas << c.Celdas(l).join(QLatin1Char('|'));
    ASSERT_EQ(filas.size(), 6);
    // By NIF, not by code: customer 2 comes first.
    EXPECT_TRUE(filas[0].contains(QStringLiteral("GARCIA LOPEZ"))) << filas[0].toStdString();
    vista->close();
}

TEST_F(Clientes, ClosingTheBrowserClosesItsEditorsAndKeepsItsPlace)
{
    BrowCli* b = Abrir();
    b->parentWidget()->setGeometry(30, 40, 600, 350);
    b->Edita_Click();
    Click(b->Nuevo);
    QTest::keyClicks(b->Editor(0)->txNombre, QStringLiteral("A MEDIAS"));
    // The unsaved new customer is asked about; keeping it keeps the browser.
    Dicho m = Al(QMessageBox::Cancel, [&] { Click(b->Salir); });
    EXPECT_EQ(m.textos.size(), 1);
    EXPECT_EQ(BrowCli::Instancia(), b);
    m = Al(QMessageBox::Ok, [&] { Click(b->Salir); });
    QApplication::processEvents();
    EXPECT_FALSE(BrowCli::Instancia());
    EXPECT_FALSE(Navegadores::clientes);
    EXPECT_TRUE(area().subWindowList().isEmpty());

    b = Abrir();
    EXPECT_EQ(b->parentWidget()->geometry(), QRect(30, 40, 600, 350));
}

}  // namespace

namespace {

// Pending notes follow their customer's discount: the editor says so before it is changed.
TEST_F(Clientes, ChangingTheDiscountSaysThePendingNotesTakeIt)
{
    Global::BD->Motor()->ejecutarNativo(QStringLiteral("DELETE FROM AlbaranVentaDetalle"));
    Global::BD->Motor()->ejecutarNativo(QStringLiteral("DELETE FROM AlbaranVentaCabecera"));
    for (const char* nota : {"1, 1, NULL", "2, 1, 0", "3, 1, 8", "4, 2, 8"})
        Global::BD->Motor()->ejecutarNativo(QStringLiteral("INSERT INTO AlbaranVentaCabecera (Numero, Cliente, Factura, Fecha) "
                                                           "VALUES (%1, '2024-03-01')")
                                                .arg(QLatin1String(nota)));
    BrowCli* b = Abrir();
    for (const auto& [codigo, aviso] : {std::pair{1, true}, std::pair{2, false}}) {
        SCOPED_TRACE(codigo);
        auto* e = new UnCliente;
        ASSERT_TRUE(e->Editar(codigo));
        EXPECT_FALSE(e->lbDesctoPendientes->isVisible());
        e->txDescto->setText(QStringLiteral("12,5"));
        EXPECT_EQ(e->lbDesctoPendientes->isVisible(), aviso);
        if (aviso) {
            EXPECT_TRUE(e->lbDesctoPendientes->text().startsWith(QStringLiteral("Sus 2 albaranes sin facturar tomarán el nuevo descuento")));
        }
        Al(QMessageBox::Ok, [&] { m_area->closeAllSubWindows(); });
    }
    Q_UNUSED(b);
}

}  // namespace
