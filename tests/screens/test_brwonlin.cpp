#include "brwonlin.h"
#include "contestador.h"
#include "albaran.h"
#include "entorno.h"
#include "global.h"
#include "listafilas.h"
#include "navegador.h"
#include "unalbaran.h"
#include "ventanas.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace {

// Picks `accion` in the pop-up menu once it is open.
void Elegir(QAction* accion, int intentos = 300)
{
    QTimer::singleShot(10, [=] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu && menu->isVisible()) {
            menu->setActiveAction(accion);
            QTest::keyClick(menu, Qt::Key_Return);
        } else if (intentos > 0) {
            Elegir(accion, intentos - 1);
        }
    });
}

class BrwOnLinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AplicacionDePrueba();
        Global::Reiniciar();
        Global::DirectorioPrograma = programa.path();
        Global::BD = std::make_unique<BaseDatos>(base.ruta);
        ASSERT_TRUE(Global::BD->Abierta());
        Global::BD->CrearTablasNuevas();
        Global::BD->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        m().ejecutarNativo(QStringLiteral("delete from Transacs"));
        m().ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre) VALUES (9013, 'BALANZA PRUEBA')"));
        area = std::make_unique<QMdiArea>();
        area->resize(900, 700);
        setAreaVentanas(area.get());
        area->show();
    }
    void TearDown() override
    {
        setAreaVentanas(nullptr);
        area.reset();
        Global::Reiniciar();
    }

    motor::BaseDeDatos& m() { return *Global::BD->Motor(); }
    qint64 uno(const QString& sql) { return m().valorUnico(sql).aEntero(); }
    Contestador contestador;
    // The docIDs left in Transacs, ascending: "1,4,5".
    QString quedan() { return m().valorUnico(QStringLiteral("select group_concat(docID) from (select distinct docID from Transacs "
                                                            "order by docID)")).aTexto(); }

    // A closed ticket as the scale line writes it: one article row and the ticket row.
    void ticket(qint32 doc, qint32 numTK, qint16 balanza, qint32 tag = 0, qint64 importe = 1250,
                const QDateTime& fecha = QDateTime(QDate::currentDate(), QTime(9, 30)))
    {
        const QString f = fecha.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QString sql = QStringLiteral("INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, impor, linea, cdPLU, "
                                           "canti, preci) VALUES (?, ?, ?, ?, 4, ?, ?, ?, ?, ?, ?, ?)");
        m().ejecutarNativo(sql, {doc, tag, numTK, balanza, f, 1, Valor(), 1, 1, 500, 2500});
        m().ejecutarNativo(sql, {doc, tag, numTK, balanza, f, 15, importe, 2, Valor(), Valor(), Valor()});
    }

    // A ticket whose only sale was voided at the scale.
    void ticketAnulado(qint32 doc)
    {
        const QString f = QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(" 11:00:00");
        const QString sql = QStringLiteral("INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, impor, linea, cdPLU, "
                                           "canti, preci) VALUES (?, 0, ?, 1, 4, ?, ?, 0, ?, ?, 500, 2500)");
        m().ejecutarNativo(sql, {doc, doc, f, 1, 1, 1});
        m().ejecutarNativo(sql, {doc, doc, f, 8, 2, 1});
        m().ejecutarNativo(sql, {doc, doc, f, 15, 3, Valor()});
    }
    // The marks of every ticket, ascending by docID: "1:0,2:1".
    QString marcas()
    {
        return m().valorUnico(QStringLiteral("select group_concat(docID || ':' || tagID) from (select docID, max(tagID) as tagID "
                                             "from Transacs group by docID order by docID)")).aTexto();
    }
    // The user gives the proposed note a customer and accepts it.
    static void guardar(UnAlbaran* nota)
    {
        QTest::keyClicks(nota->findChild<QLineEdit*>(QStringLiteral("txCodCli")), QStringLiteral("9013"));
        nota->findChild<QPushButton*>(QStringLiteral("Aceptar"))->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    qint64 notasDeTicket() { return uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where onLine <> 0")); }

    BrwOnLin* abrir()
    {
        BrwOnLin* v = BrwOnLin::Abrir();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(v));
        return v;
    }
    static QString celda(BrwOnLin* v, int fila, int col)
    {
        return v->Grd->TextMatrix(fila, col);
    }
    static QPoint centroFila(BrwOnLin* v, int fila)
    {
        return v->Grd->visualRect(v->Grd->model()->index(fila - 1, 2)).center();
    }
    static void clic(BrwOnLin* v, int fila, Qt::KeyboardModifiers mods = {}, Qt::MouseButton boton = Qt::LeftButton)
    {
        QTest::mouseClick(v->Grd->viewport(), boton, mods, centroFila(v, fila));
    }

    QTemporaryDir programa;
    BaseDePrueba base;
    std::unique_ptr<QMdiArea> area;
};

TEST_F(BrwOnLinTest, EmptyListShowsOnlyTheTitleRow)
{
    BrwOnLin* v = abrir();
    EXPECT_EQ(v->windowTitle(), QStringLiteral("Tickets generados en Línea de balanzas"));
    EXPECT_EQ(v->Grd->Rows(), 1);
    EXPECT_EQ(v->Grd->Row(), 0);
    EXPECT_EQ(v->pkDesde->date(), QDate::currentDate());
    EXPECT_EQ(v->Tim->interval(), 1500);
    EXPECT_TRUE(v->Tim->isActive());
    EXPECT_FALSE(v->pBusco->isVisible());
    QStringList titulos;
    for (int c = 0; c < 7; ++c)
        titulos << v->Grd->TextMatrix(0, c);
    EXPECT_EQ(titulos, (QStringList{"Alb", "nDoc", "Ticket", "Bza", "Op.", "Fecha Hora", "Importe"}));
    for (const char* nombre : {"pkDesde", "Buscar", "Eliminar", "Salir", "Grd", "pBusco", "txBuscoT", "txBuscoB", "Tim",
                               "MnAccion", "MnEliminar"})
        EXPECT_TRUE(v->findChild<QObject*>(QString::fromLatin1(nombre))) << nombre;
    EXPECT_EQ(v->Salir->text(), QStringLiteral("Cerrar"));
    // Keys and the menu on an empty grid neither fail nor ask anything.
    v->Grd->setFocus();
    QTest::keyClick(v->Grd, Qt::Key_Return);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // Opening again brings the same window forward.
    EXPECT_EQ(BrwOnLin::Abrir(), v);
    EXPECT_EQ(area->subWindowList().size(), 1);
}

TEST_F(BrwOnLinTest, RowsNewestFirstWithUsedTicketsColoured)
{
    ticket(3, 12, 3, 0, 123456, QDateTime(QDate::currentDate(), QTime(8, 5)));
    ticket(4, 13, 1, 2);
    ticket(5, 14, 11, 0, 0);
    // Older than the start date, and a cancelled ticket: neither is listed.
    ticket(1, 10, 1, 0, 100, QDateTime(QDate::currentDate().addDays(-1), QTime(18, 0)));
    ticket(6, 15, 1);
    m().ejecutarNativo(QStringLiteral("INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, linea) "
                                      "VALUES (6, 0, 15, 1, 4, ?, 16, 3)"),
                       {QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(" 10:00:00")});
    BrwOnLin* v = abrir();
    ASSERT_EQ(v->Grd->Rows(), 4);
    EXPECT_EQ(v->Grd->Row(), 1);
    const QString hoy = QDate::currentDate().toString(QStringLiteral("dd/MM/yy"));
    QStringList fila3;
    for (int c = 0; c < 7; ++c)
        fila3 << celda(v, 3, c);
    EXPECT_EQ(fila3, (QStringList{"No", "000003", "000012", "03", "04", hoy + "  08:05", "1.234,56"}));
    EXPECT_EQ(celda(v, 1, 1), QStringLiteral("000005"));
    EXPECT_EQ(celda(v, 1, 3), QStringLiteral("11"));
    EXPECT_EQ(celda(v, 1, 6), QString());  // a zero amount shows blank
    EXPECT_EQ(celda(v, 2, 0), QStringLiteral("Sí"));  // TagID 2
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(v->Grd->model()->index(1, c).data(Qt::BackgroundRole).value<QColor>(), QColor(192, 192, 255));
        EXPECT_FALSE(v->Grd->model()->index(0, c).data(Qt::BackgroundRole).isValid());
    }
    // An earlier start date lists yesterday's ticket at once.
    v->pkDesde->setDate(QDate::currentDate().addDays(-1));
    EXPECT_EQ(v->Grd->Rows(), 5);
    EXPECT_EQ(celda(v, 4, 1), QStringLiteral("000001"));
}

TEST_F(BrwOnLinTest, NewTicketKeepsTheSelectionOnTheSameTicket)
{
    for (qint32 d = 1; d <= 6; ++d)
        ticket(d, 100 + d, 1);
    BrwOnLin* v = abrir();
    clic(v, 4);
    ASSERT_EQ(v->Grd->Row(), 4);
    const qint32 elegido = v->docIDDeFila(4);
    EXPECT_EQ(elegido, 3);

    // Ticks while nothing changes leave the grid alone.
    QSignalSpy reinicios(v->Grd->model(), &QAbstractItemModel::modelReset);
    v->Tim_Timer();
    v->Tim_Timer();
    EXPECT_EQ(reinicios.count(), 0);

    ticket(7, 107, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return v->Grd->Rows() == 8; }, 2500));
    EXPECT_EQ(reinicios.count(), 1);
    EXPECT_EQ(v->Grd->Row(), 5);
    EXPECT_EQ(v->docIDDeFila(v->Grd->Row()), elegido);
    EXPECT_EQ(v->Grd->selectionModel()->selectedRows().size(), 1);

    // A used mark is a change too: the row turns blue, the selection stays.
    m().ejecutarNativo(QStringLiteral("update Transacs set tagID = 1 where docID = 3"));
    v->Tim_Timer();
    EXPECT_EQ(celda(v, 5, 0), QStringLiteral("Sí"));
    EXPECT_EQ(v->docIDDeFila(v->Grd->Row()), elegido);

    // When the selected ticket goes, the selection moves to the top.
    m().ejecutarNativo(QStringLiteral("delete from Transacs where docID = 3"));
    v->Tim_Timer();
    EXPECT_EQ(v->Grd->Rows(), 7);
    EXPECT_EQ(v->Grd->Row(), 1);
}

// New tickets come in above: the rows under the pointer must not slide, or a double click
// aimed at one ticket opens another.
TEST_F(BrwOnLinTest, NewTicketsLeaveTheViewStillUnderThePointer)
{
    for (qint32 d = 1; d <= 60; ++d)
        ticket(d, 100 + d, 1);
    BrwOnLin* v = abrir();
    v->Grd->setTopRow(20);
    clic(v, 25);
    ASSERT_EQ(v->Grd->Row(), 25);
    const qint32 arriba = v->docIDDeFila(v->Grd->TopRow());
    const qint32 elegido = v->docIDDeFila(25);
    const QPoint donde = centroFila(v, 25);

    ticket(61, 161, 2);
    ticket(62, 162, 2);
    v->Tim_Timer();
    ASSERT_EQ(v->Grd->Rows(), 63);
    EXPECT_EQ(v->docIDDeFila(v->Grd->TopRow()), arriba);
    EXPECT_EQ(v->docIDDeFila(v->Grd->Row()), elegido);
    EXPECT_EQ(centroFila(v, v->Grd->Row()), donde);
    EXPECT_EQ(v->Grd->indexAt(donde).row() + 1, v->Grd->Row());

    // Also at the top of the list: the newest tickets wait above the view.
    v->Grd->setTopRow(1);
    clic(v, 3);
    const qint32 tercero = v->docIDDeFila(3);
    const QPoint antes = centroFila(v, 3);
    ticket(63, 163, 2);
    v->Tim_Timer();
    EXPECT_EQ(v->docIDDeFila(v->Grd->Row()), tercero);
    EXPECT_EQ(v->docIDDeFila(v->Grd->indexAt(antes).row() + 1), tercero);
    EXPECT_EQ(v->docIDDeFila(v->Grd->TopRow()), 62);
}

TEST_F(BrwOnLinTest, DeletingARangeCountsUsedAndUnusedTickets)
{
    // Rows top to bottom show docIDs 5, 4, 3, 2, 1: rows 3 and 5 (docIDs 3 and 1) are used.
    for (qint32 d = 1; d <= 5; ++d)
        ticket(d, d, 1, d == 3 || d == 1 ? 1 : 0);
    BrwOnLin* v = abrir();
    clic(v, 3);
    clic(v, 5, Qt::ShiftModifier);
    ASSERT_EQ(v->Grd->selectionModel()->selectedRows().size(), 3);

    // The right button keeps a selection of several rows; Cancel deletes nothing.
    Elegir(v->MnEliminar);
    contestador.Responder(QMessageBox::Cancel);
    clic(v, 4, {}, Qt::RightButton);
    EXPECT_EQ(contestador.textos.last(), QStringLiteral("Se eliminarán 2 tickets de balanza con albarán ya emitido.\n"
                                    "Se eliminarán 1 tickets de balanza SIN albarán emitido."));
    EXPECT_EQ(contestador.iconos.back(), QMessageBox::Warning);
    EXPECT_EQ(uno(QStringLiteral("select count(distinct docID) from Transacs")), 5);

    clic(v, 3);
    clic(v, 5, Qt::ShiftModifier);
    Elegir(v->MnEliminar);
    contestador.Responder(QMessageBox::Ok);
    clic(v, 4, {}, Qt::RightButton);
    EXPECT_EQ(quedan(), QStringLiteral("4,5"));
    EXPECT_EQ(v->Grd->Rows(), 3);

    // With one row selected, the right button picks the row under the mouse.
    clic(v, 1);
    Elegir(v->MnEliminar);
    contestador.Responder(QMessageBox::Ok);
    clic(v, 2, {}, Qt::RightButton);
    EXPECT_EQ(contestador.textos.last(), QStringLiteral("Se eliminarán 1 tickets de balanza SIN albarán emitido."));
    EXPECT_EQ(quedan(), QStringLiteral("5"));
}

TEST_F(BrwOnLinTest, PurgeRemovesOnlyUsedTicketsOfAnyDate)
{
    ticket(1, 1, 1);
    BrwOnLin* v = abrir();
    contestador.Responder(QMessageBox::Ok);
    QTest::mouseClick(v->Eliminar, Qt::LeftButton);
    EXPECT_EQ(contestador.textos.last(), QStringLiteral("NO HAY tickets de balanza con Albarán ya emitido."));
    EXPECT_EQ(contestador.iconos.back(), QMessageBox::Critical);

    ticket(2, 2, 1, 1, 100, QDateTime(QDate::currentDate().addDays(-30), QTime(9, 0)));  // not on screen
    ticket(3, 3, 1, 2);
    contestador.Responder(QMessageBox::Cancel);
    QTest::mouseClick(v->Eliminar, Qt::LeftButton);
    EXPECT_EQ(contestador.textos.last(), QStringLiteral("Se eliminarán TODOS los tickets de balanza con Albarán ya emitido."));
    EXPECT_EQ(contestador.iconos.back(), QMessageBox::Warning);
    EXPECT_EQ(uno(QStringLiteral("select count(distinct docID) from Transacs")), 3);
    contestador.Responder(QMessageBox::Ok);
    QTest::mouseClick(v->Eliminar, Qt::LeftButton);
    EXPECT_EQ(quedan(), QStringLiteral("1"));
    EXPECT_EQ(v->Grd->Rows(), 2);
}

TEST_F(BrwOnLinTest, SearchFindsATicketOnAScale)
{
    // Enough tickets that the one looked for starts out of view.
    for (qint32 d = 1; d <= 80; ++d)
        ticket(d, d % 30, static_cast<qint16>(3 - d / 30));  // ticket 12 of scale 3 is docID 12, row 69
    BrwOnLin* v = abrir();
    QTest::mouseClick(v->Buscar, Qt::LeftButton);
    EXPECT_TRUE(v->pBusco->isVisible());
    EXPECT_FALSE(v->Grd->isEnabled());
    EXPECT_FALSE(v->Salir->isEnabled());
    EXPECT_TRUE(v->txBuscoT->hasFocus());
    QTest::keyClicks(v->txBuscoT, QStringLiteral("1a2"));  // only digits are typed
    EXPECT_EQ(v->txBuscoT->text(), QStringLiteral("12"));
    QTest::keyClick(v->txBuscoT, Qt::Key_Return);
    EXPECT_TRUE(v->txBuscoB->hasFocus());
    QTest::keyClicks(v->txBuscoB, QStringLiteral("9"));

    // Not there: the message, and the ticket box again.
    contestador.Responder(QMessageBox::Ok);
    QTest::keyClick(v->txBuscoB, Qt::Key_Return);
    EXPECT_EQ(contestador.textos.last(), QStringLiteral("No se encuentra el número de ticket especificado"));
    EXPECT_EQ(contestador.iconos.back(), QMessageBox::Critical);
    EXPECT_TRUE(v->pBusco->isVisible());
    EXPECT_EQ(v->focusWidget(), v->txBuscoT);  // the box the user types in once the window is active again

    v->txBuscoB->clear();
    QTest::keyClicks(v->txBuscoB, QStringLiteral("3"));
    QTest::keyClick(v->txBuscoB, Qt::Key_Return);
    EXPECT_FALSE(v->pBusco->isVisible());
    EXPECT_TRUE(v->Grd->isEnabled());
    EXPECT_EQ(celda(v, v->Grd->Row(), 2), QStringLiteral("000012"));
    EXPECT_EQ(celda(v, v->Grd->Row(), 3), QStringLiteral("03"));
    EXPECT_TRUE(v->Grd->viewport()->rect().contains(v->Grd->visualRect(v->Grd->currentIndex())));

    // Escape leaves the search without searching, and a second Escape closes the window.
    QTest::mouseClick(v->Buscar, Qt::LeftButton);
    QTest::keyClick(v->txBuscoT, Qt::Key_Escape);
    EXPECT_FALSE(v->pBusco->isVisible());
    EXPECT_NE(BrwOnLin::Instancia(), nullptr);
    QTest::keyClick(v->Grd, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([] { return BrwOnLin::Instancia() == nullptr; }, 1000));
    EXPECT_TRUE(area->subWindowList().isEmpty());
}

TEST_F(BrwOnLinTest, GeneratingANoteMarksItsTicketOnly)
{
    ticket(1, 1, 1);
    ticket(2, 2, 1, 1);
    ticket(3, 3, 2);
    BrwOnLin* v = abrir();
    v->Grd->setFocus();
    QTest::keyClick(v->Grd, Qt::Key_Return);  // row 1 is selected on opening: ticket 3
    QPointer<UnAlbaran> nota = v->Hijo();
    ASSERT_TRUE(nota);
    EXPECT_EQ(v->TicketPendiente(), 3);
    EXPECT_EQ(nota->Documento().NumeroLineas(), 1);

    // Asking again, from another ticket, only brings the open note forward: saving it marks
    // the ticket it was made from.
    clic(v, 3);
    Elegir(v->MnAlbaran);
    clic(v, 3, {}, Qt::RightButton);
    EXPECT_EQ(v->Hijo(), nota);
    EXPECT_EQ(v->TicketPendiente(), 3);
    EXPECT_EQ(area->subWindowList().size(), 2);

    guardar(nota);
    EXPECT_FALSE(nota);
    EXPECT_EQ(notasDeTicket(), 1);
    EXPECT_EQ(marcas(), QStringLiteral("1:0,2:1,3:1"));
    EXPECT_EQ(v->Hijo(), nullptr);
    EXPECT_EQ(v->TicketPendiente(), 0);
    EXPECT_EQ(celda(v, 1, 0), QStringLiteral("Sí"));

    // Several rows selected: the menu does not offer a note.
    clic(v, 1);
    clic(v, 2, Qt::ShiftModifier);
    bool ofrecida = true;
    QTimer::singleShot(50, [&] {
        ofrecida = v->MnAlbaran->isEnabled();
        if (QWidget* menu = QApplication::activePopupWidget())
            menu->close();
    });
    clic(v, 2, {}, Qt::RightButton);
    EXPECT_FALSE(ofrecida);
}

TEST_F(BrwOnLinTest, AUsedTicketAsksBeforeAnotherNote)
{
    ticket(1, 1, 1, 2);
    BrwOnLin* v = abrir();
    EXPECT_EQ(celda(v, 1, 0), QStringLiteral("Sí"));
    contestador.Responder(QMessageBox::No);
    QTest::keyClick(v->Grd, Qt::Key_Return);
    EXPECT_EQ(contestador.textos.last(), QStringLiteral("Ya se ha generado Albarán con el ticket seleccionado\n"
                                    "¿Desea generar el mismo Albarán nuevamente"));
    EXPECT_EQ(contestador.iconos.back(), QMessageBox::Warning);
    EXPECT_EQ(v->Hijo(), nullptr);
    // The Enter that opens tickets, pressed once more on the question, makes no second note.
    contestador.Enter();
    QTest::keyClick(v->Grd, Qt::Key_Return);
    EXPECT_EQ(contestador.textos.size(), 2);
    EXPECT_EQ(v->Hijo(), nullptr);

    // A double click on the row, and Yes: the note opens; Cancelar frees the slot.
    contestador.Responder(QMessageBox::Yes);
    QTest::mouseDClick(v->Grd->viewport(), Qt::LeftButton, {}, centroFila(v, 1));
    QPointer<UnAlbaran> nota = v->Hijo();
    ASSERT_TRUE(nota);
    nota->findChild<QPushButton*>(QStringLiteral("Cancelar"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(nota);
    EXPECT_EQ(v->Hijo(), nullptr);
    EXPECT_EQ(v->TicketPendiente(), 0);
    EXPECT_EQ(marcas(), QStringLiteral("1:2"));

    // Saving the note made again raises the mark once more.
    contestador.Responder(QMessageBox::Yes);
    QTest::keyClick(v->Grd, Qt::Key_Return);
    ASSERT_TRUE(v->Hijo());
    guardar(v->Hijo());
    EXPECT_EQ(marcas(), QStringLiteral("1:3"));
    EXPECT_EQ(notasDeTicket(), 1);
}

// The list can be a tick behind another station: a ticket used since it was drawn is asked
// about, and a note whose ticket is used after it was proposed is refused when saved.
TEST_F(BrwOnLinTest, ATicketUsedElsewhereSinceTheListShowedItIsAskedAbout)
{
    ticket(1, 1, 1);
    BrwOnLin* v = abrir();
    v->Tim->stop();
    ASSERT_EQ(celda(v, 1, 0), QStringLiteral("No"));
    m().ejecutarNativo(QStringLiteral("update Transacs set tagID=1 where docID=1"));
    contestador.Responder(QMessageBox::No);
    QTest::keyClick(v->Grd, Qt::Key_Return);
    EXPECT_EQ(contestador.textos.last(), QStringLiteral("Ya se ha generado Albarán con el ticket seleccionado\n"
                                    "¿Desea generar el mismo Albarán nuevamente"));
    EXPECT_EQ(v->Hijo(), nullptr);
    EXPECT_EQ(celda(v, 1, 0), QStringLiteral("Sí"));

    contestador.Responder(QMessageBox::Yes);
    QTest::keyClick(v->Grd, Qt::Key_Return);
    QPointer<UnAlbaran> nota = v->Hijo();
    ASSERT_TRUE(nota);
    m().ejecutarNativo(QStringLiteral("update Transacs set tagID=2 where docID=1"));
    contestador.Responder(QMessageBox::Ok);
    guardar(nota);
    EXPECT_TRUE(contestador.textos.last().contains(QStringLiteral("Otro puesto ya ha hecho un albarán con el ticket 1"))) << contestador.textos.last().toStdString();
    EXPECT_EQ(notasDeTicket(), 0);
    EXPECT_EQ(marcas(), QStringLiteral("1:2"));
    contestador.Responder(QMessageBox::Ok);  // leaving what was typed
    CerrarVentana(nota);
}

// Deleting the ticket of the note being edited is said first, and the note still saves.
TEST_F(BrwOnLinTest, DeletingTheTicketOfTheOpenNoteSaysSoAndTheNoteStillSaves)
{
    const QString aviso = QStringLiteral("Entre ellos está el ticket del albarán que se está editando: "
                                         "ese albarán se podrá guardar igualmente.");
    ticket(1, 1, 1);
    ticket(2, 2, 1, 1);
    BrwOnLin* v = abrir();
    contestador.Responder(QMessageBox::Yes);
    QTest::keyClick(v->Grd, Qt::Key_Return);  // row 1: ticket 2, used
    QPointer<UnAlbaran> nota = v->Hijo();
    ASSERT_TRUE(nota);

    contestador.Responder(QMessageBox::Cancel);
    QTest::mouseClick(v->Eliminar, Qt::LeftButton);
    EXPECT_EQ(contestador.textos.last(), QStringLiteral("Se eliminarán TODOS los tickets de balanza con Albarán ya emitido.\n") + aviso);

    v->Grd->setRow(1);
    contestador.Responder(QMessageBox::Ok);
    v->MnEliminar->trigger();
    EXPECT_EQ(contestador.textos.last(), QStringLiteral("Se eliminarán 1 tickets de balanza con albarán ya emitido.\n") + aviso);
    EXPECT_EQ(quedan(), QStringLiteral("1"));

    guardar(nota);
    EXPECT_FALSE(nota);
    EXPECT_EQ(notasDeTicket(), 1);
    EXPECT_EQ(marcas(), QStringLiteral("1:0"));
}

TEST_F(BrwOnLinTest, ATicketWithEveryLineVoidedSaysSoAndLeavesTheSlotFree)
{
    ticket(1, 1, 1);
    ticketAnulado(2);
    BrwOnLin* v = abrir();
    ASSERT_EQ(v->docIDDeFila(1), 2);
    contestador.Responder(QMessageBox::Ok);
    QTest::keyClick(v->Grd, Qt::Key_Return);
    EXPECT_EQ(contestador.textos.last(), QStringLiteral("El ticket seleccionado no tiene ninguna venta sin anular: elija otro ticket para hacer el albarán."));
    EXPECT_EQ(contestador.iconos.back(), QMessageBox::Information);
    EXPECT_EQ(v->Hijo(), nullptr);
    EXPECT_EQ(v->TicketPendiente(), 0);
    EXPECT_EQ(area->subWindowList().size(), 1);

    // The next ticket opens its note.
    clic(v, 2);
    QTest::keyClick(v->Grd, Qt::Key_Return);
    ASSERT_TRUE(v->Hijo());
    EXPECT_EQ(v->TicketPendiente(), 1);
    // Closing the note's window without a button frees the slot as well.
    QPointer<UnAlbaran> nota = v->Hijo();
    CerrarVentana(nota);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(nota);
    EXPECT_EQ(v->Hijo(), nullptr);
    EXPECT_EQ(v->TicketPendiente(), 0);
    EXPECT_EQ(marcas(), QStringLiteral("1:0,2:0"));
}

// The scale line is another process writing while the window refreshes: every ticket it writes
// is listed once, and the window never stops to report a locked database.
// Years of tickets: the first screen comes with a page of them, the rest behind it; a ticket
// that comes in meanwhile goes on top and a mark in view shows, without losing a row.
TEST_F(BrwOnLinTest, ALongListArrivesBehindItsFirstPage)
{
    const int total = 2400;
    BrwOnLin* v = abrir();
    {
        motor::BaseDeDatos::Transaccion t(m());
        for (qint32 d = 1; d <= total; ++d)
            ticket(d, d, 1);
        t.commit();
    }
    v->Refresco();
    ASSERT_TRUE(v->LeyendoMas());
    EXPECT_LT(v->Grd->Rows() - 1, total);
    EXPECT_EQ(v->docIDDeFila(1), total);

    ticket(total + 1, total + 1, 2);
    m().ejecutarNativo(QStringLiteral("update Transacs set tagID = 1 where docID = %1").arg(total - 1));
    v->Tim_Timer();
    EXPECT_EQ(v->docIDDeFila(1), total + 1);
    EXPECT_EQ(celda(v, 3, 0), QStringLiteral("Sí"));

    EXPECT_TRUE(QTest::qWaitFor([&] { return !v->LeyendoMas(); }, 10000));
    ASSERT_EQ(v->Grd->Rows() - 1, total + 1);
    for (int f = 1; f <= total + 1; ++f)
        ASSERT_EQ(v->docIDDeFila(f), total + 2 - f) << "row " << f;
}

TEST_F(BrwOnLinTest, LiveScaleLineIsListedWithoutLossOrDuplicates)
{
    BrwOnLin* v = abrir();
    QProcess balanza;
    balanza.start(QStringLiteral(KV740SIM), {QStringLiteral("balanza"), base.dir(), QStringLiteral("--intervalo"),
                                             QStringLiteral("50"), QStringLiteral("--tickets"), QStringLiteral("60")});
    ASSERT_TRUE(balanza.waitForStarted());
    // Ticks far more often than the window's own, to meet the writer mid-transaction.
    QTimer prisa;
    QObject::connect(&prisa, &QTimer::timeout, v, &BrwOnLin::Tim_Timer);
    prisa.start(20);
    bool modal = false;
    QTimer vigia;
    QObject::connect(&vigia, &QTimer::timeout, [&] { modal = modal || QApplication::activeModalWidget() != nullptr; });
    vigia.start(5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return balanza.state() == QProcess::NotRunning; }, 20000));
    prisa.stop();
    EXPECT_EQ(balanza.exitCode(), 0) << balanza.readAllStandardError().toStdString();
    EXPECT_FALSE(modal);

    const std::vector<FilaTicket> cerrados = Global::BD->ListaTicketsCerrados(QDate::currentDate());
    EXPECT_GE(cerrados.size(), 50u);  // one in nine is cancelled
    EXPECT_TRUE(QTest::qWaitFor([&] { return v->Grd->Rows() == static_cast<int>(cerrados.size()) + 1; }, 2500));
    std::set<qint32> enPantalla;
    for (int f = 1; f < v->Grd->Rows(); ++f) {
        EXPECT_TRUE(enPantalla.insert(v->docIDDeFila(f)).second) << "ticket listed twice";
        if (f > 1) {
            EXPECT_LT(v->docIDDeFila(f), v->docIDDeFila(f - 1));
        }
    }
    std::set<qint32> escritos;
    for (const FilaTicket& t : cerrados)
        escritos.insert(t.docID);
    EXPECT_EQ(enPantalla, escritos);

    // One of them turned into a note: that ticket is marked, no other.
    clic(v, 3);
    const qint32 elegido = v->docIDDeFila(3);
    QTest::keyClick(v->Grd, Qt::Key_Return);
    ASSERT_TRUE(v->Hijo());
    guardar(v->Hijo());
    EXPECT_EQ(uno(QStringLiteral("select count(distinct docID) from Transacs where tagID > 0")), 1);
    EXPECT_EQ(uno(QStringLiteral("select min(tagID) from Transacs where docID = %1").arg(elegido)), 1);
    EXPECT_EQ(celda(v, 3, 0), QStringLiteral("Sí"));
}

}  // namespace
