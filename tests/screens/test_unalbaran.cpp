#include "albaran.h"
#include "editorcelda.h"
#include "editores_prueba.h"
#include "impresion.h"
#include "rejilla.h"
#include "unalbaran.h"

#include <QClipboard>
#include <QDateEdit>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QSignalSpy>

namespace {

class UnAlbaranTest : public EditorDePrueba {
protected:

    static Rejilla* grd(QWidget* w) { return hijo<Rejilla>(w, "Grd"); }
    static EditorCelda* ed(QWidget* w) { return hijo<EditorCelda>(w, "txEd"); }
    static QString celda(QWidget* w, int fila, int col) { return grd(w)->TextMatrix(fila, col); }

    // A stored note of customer 9012 with two lines, the first one with a comment.
    qint32 notaGuardada(bool descontada = false)
    {
        Albaran a(*Global::BD);
        EXPECT_TRUE(a.WhoAmI());
        a.SetCliente(9012);
        LineaAlbaran* l = a.NuevaLinea();
        l->SetCodigo(990001);
        l->FijarCantidad(1.25);
        l->FijarComentario(QStringLiteral("SIN HOJAS"));
        l = a.NuevaLinea();
        l->SetCodigo(990002);
        l->FijarCantidad(3);
        EXPECT_TRUE(descontada ? a.Stock() : a.Update());
        return *a.Numero;
    }
    qint64 vendido(qint32 articulo)
    {
        return uno(QStringLiteral("select Venta from MovsAlm where CODALM=1 and Seccion=1 and Codigo=%1").arg(articulo));
    }
};

TEST_F(UnAlbaranTest, NoteTypedFromTheKeyboardIsStoredWithItsLinesAndAmounts)
{
    NavegadorFalso navegador;
    Navegadores::albaranes = &navegador;
    QPointer<UnAlbaran> w = UnAlbaran::Editar(std::nullopt, &navegador);
    ASSERT_TRUE(w);
    QSignalSpy guardado(w.data(), &UnAlbaran::Update);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Edición de un albarán"));
    EXPECT_EQ(hijo<QLabel>(w, "lbTotal")->text(), QString());  // zero shows as nothing
    const qint32 numero = *w->Documento().Numero;
    EXPECT_EQ(hijo<QLineEdit>(w, "txNumero")->text(), NumeroConCeros(numero, 6));
    ASSERT_EQ(foco(), hijo<QLineEdit>(w, "txCodCli"));

    teclas(QStringLiteral("9012"));
    EXPECT_EQ(hijo<QLineEdit>(w, "txCliente")->text(), QStringLiteral("GARCIA LOPEZ PRUEBA"));
    EXPECT_EQ(hijo<QLineEdit>(w, "txDescuento")->text(), QStringLiteral("5,0"));
    intro();
    ASSERT_EQ(foco(), ed(w));
    EXPECT_EQ(grd(w)->Row(), 1);
    EXPECT_EQ(grd(w)->Col(), 0);

    // Bultos, Envase, code, quantity, price, discount.
    teclas(QStringLiteral("2"));
    intro();
    teclas(QStringLiteral("0,30"));
    intro();
    EXPECT_EQ(grd(w)->Col(), 2);
    teclas(QStringLiteral("990001"));
    intro();
    EXPECT_EQ(grd(w)->Col(), 4);
    EXPECT_EQ(celda(w, 1, 3), QStringLiteral("ZANAHORIA PRUEBA"));
    teclas(QStringLiteral("1,250"));
    intro();
    EXPECT_EQ(grd(w)->Col(), 5);
    teclas(QStringLiteral("8,99"));
    intro();
    EXPECT_EQ(grd(w)->Col(), 7);
    teclas(QStringLiteral("10"));
    intro();
    EXPECT_EQ(grd(w)->Row(), 2);
    EXPECT_EQ(grd(w)->Col(), 0);
    EXPECT_EQ(celda(w, 1, 8), QStringLiteral("10,12"));
    EXPECT_EQ(celda(w, 1, 4), QStringLiteral("1,250"));
    EXPECT_EQ(celda(w, 1, 6), QStringLiteral("K"));

    intro();
    intro();
    teclas(QStringLiteral("990002"));
    intro();
    teclas(QStringLiteral("3"));
    intro();
    EXPECT_EQ(celda(w, 2, 4), QStringLiteral("3"));  // sold by units: no decimals
    EXPECT_EQ(celda(w, 2, 6), QStringLiteral("U"));
    EXPECT_EQ(grd(w)->Rows(), 4);  // title, two lines, the entry row
    EXPECT_EQ(hijo<QLabel>(w, "lbBase")->text(), QStringLiteral("14,62"));
    EXPECT_EQ(hijo<QLabel>(w, "lbEnva")->text(), QStringLiteral("0,60"));
    EXPECT_EQ(hijo<QLabel>(w, "lbDcto")->text(), QStringLiteral("0,73"));
    EXPECT_EQ(hijo<QLabel>(w, "lbTotal")->text(), QStringLiteral("14,49"));

    tecla(Qt::Key_Return, Qt::ControlModifier);
    QApplication::sendPostedEvents();
    QApplication::processEvents();
    asentar();
    EXPECT_FALSE(w);
    EXPECT_EQ(guardado.count(), 1);
    ASSERT_EQ(navegador.refrescos.size(), 1u);
    EXPECT_EQ(navegador.refrescos[0], std::optional<long>(numero));
    EXPECT_EQ(navegador.quitados, std::vector<long>{0});

    Albaran leido(*Global::BD);
    ASSERT_TRUE(leido.WhoAmI(numero));
    EXPECT_EQ(leido.Cliente(), std::optional<qint32>(9012));
    ASSERT_EQ(leido.NumeroLineas(), 2);
    const LineaAlbaran* zanahoria = leido.Linea(1);
    EXPECT_EQ(zanahoria->Codigo(), 990001);
    EXPECT_EQ(zanahoria->CantidadGramos(), 1250);
    EXPECT_EQ(zanahoria->PrecioCentimos(), 899);
    EXPECT_FLOAT_EQ(zanahoria->Descuento(), 10);
    EXPECT_EQ(zanahoria->Bultos, 2);
    EXPECT_EQ(zanahoria->EnvaseCentimos(), 30);
    EXPECT_EQ(leido.Linea(2)->CantidadGramos(), 3);
    EXPECT_DOUBLE_EQ(leido.ImporteBase(), 14.62);
    // A new note moves no stock until the user discounts it.
    EXPECT_EQ(vendido(990001), 0);
}

// A code is what was typed: one the catalogue lacks never becomes the article of its prefix.
TEST_F(UnAlbaranTest, AnUnknownCodeIsSaidAndLeavesTheLineAsItWas)
{
    articulo(99004, QStringLiteral("PREFIJO PRUEBA"), 2, 7, 100);
    const qint32 numero = notaGuardada();
    QPointer<UnAlbaran> w = UnAlbaran::Editar(numero);
    ASSERT_TRUE(w);
    Mensajes mensajes;
    const int entrada = grd(w)->Rows() - 1;
    for (const int fila : {1, entrada}) {
        SCOPED_TRACE(fila);
        mensajes.textos.clear();
        const qint32 antes = fila == 1 ? 990001 : 0;
        grd(w)->setCelda(fila, 2);
        ASSERT_EQ(foco(), ed(w));
        teclas(QStringLiteral("990041"));
        intro();
        QTest::qWait(60);
        EXPECT_EQ(mensajes.textos, QStringList{QStringLiteral("No existe el artículo 990041")});
        const int linea = fila == 1 ? 1 : w->Documento().NumeroLineas();
        EXPECT_EQ(w->Documento().Linea(static_cast<qint16>(linea))->Codigo(), antes);
        EXPECT_EQ(celda(w, fila, 2), antes ? NumeroConCeros(antes, 6) : QString());
    }
    EXPECT_EQ(w->Documento().Linea(1)->CantidadGramos(), 1250);

    // Saved at once (Ctrl+Enter) with an unknown code typed: said, and nothing is saved.
    mensajes.textos.clear();
    grd(w)->setCelda(1, 2);
    teclas(QStringLiteral("990041"));
    tecla(Qt::Key_Return, Qt::ControlModifier);
    QTest::qWait(60);
    EXPECT_EQ(mensajes.textos, QStringList{QStringLiteral("No existe el artículo 990041")});
    ASSERT_TRUE(w);
    EXPECT_EQ(w->Documento().Linea(1)->Codigo(), 990001);
    mensajes.textos.clear();

    // A known code is taken when the cell is left.
    grd(w)->setCelda(1, 2);
    teclas(QStringLiteral("99004"));
    EXPECT_EQ(w->Documento().Linea(1)->Codigo(), 990001);
    intro();
    EXPECT_EQ(w->Documento().Linea(1)->Codigo(), 99004);
    EXPECT_EQ(celda(w, 1, 3), QStringLiteral("PREFIJO PRUEBA"));
    w->close();
    asentar();
}

TEST_F(UnAlbaranTest, NoteProposedFromATicketWithAVoidIsSavedAndMarked)
{
    kv740::Ticket t;
    t.docID = 77001;
    t.numTK = 55;
    t.fecha = QDateTime::currentDateTime();
    t.conAnulacion = true;
    // A ticket of several articles, one of them voided.
    std::optional<std::vector<LineaTicket>> lineas;
    for (quint32 semilla = 1; semilla < 200; ++semilla) {
        t.docID = 77000 + static_cast<qint32>(semilla);
        kv740::EscribirTicket(m(), t, 1, semilla);
        lineas = Global::BD->LineasTicket(t.docID);
        if (lineas && lineas->size() >= 2)
            break;
    }
    ASSERT_TRUE(lineas);
    const qint64 filas = uno(QStringLiteral("select count(*) from Transacs where docID=%1 and tipoT=1").arg(t.docID));
    ASSERT_LT(static_cast<qint64>(lineas->size()), filas);  // the void took one away

    EXPECT_FALSE(UnAlbaran::Proponer(99999999));
    NavegadorFalso navegador;
    QPointer<UnAlbaran> w = UnAlbaran::Proponer(t.docID, &navegador);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->NumeroEditado(), 0);
    EXPECT_EQ(foco(), hijo<QLineEdit>(w, "txCodCli"));
    ASSERT_EQ(w->Documento().NumeroLineas(), static_cast<qint16>(lineas->size()));
    EXPECT_EQ(grd(w)->Rows(), static_cast<int>(lineas->size()) + 2);
    int marcados = 0;
    QObject::connect(w.data(), &UnAlbaran::Update, [&] { marcados += Global::BD->MarcarTicket(t.docID); });
    const qint32 numero = *w->Documento().Numero;

    teclas(QStringLiteral("9013"));
    pulsar(w, "Aceptar");
    asentar();
    EXPECT_FALSE(w);
    EXPECT_EQ(navegador.quitados, std::vector<long>{0});
    Albaran leido(*Global::BD);
    ASSERT_TRUE(leido.WhoAmI(numero));
    EXPECT_TRUE(leido.OnLine());
    EXPECT_EQ(leido.NumeroLineas(), static_cast<qint16>(lineas->size()));
    EXPECT_EQ(marcados, 1);
}

// 10 % off 21,55 is 2,155: the editor takes 2,16 off, as the note and the list of notes do.
TEST_F(UnAlbaranTest, TotalsRoundAHalfCentOfDiscountUpAsTheListDoesAndKeepTheirBoxes)
{
    cliente(9014, QStringLiteral("BAR DIEZ PRUEBA"), false, 10);
    Albaran a(*Global::BD);
    ASSERT_TRUE(a.WhoAmI());
    ASSERT_TRUE(a.SetCliente(9014));
    for (const auto& [codigo, precio] : {std::pair{990011, 1754}, std::pair{990012, 184}, std::pair{990013, 217}}) {
        articulo(codigo, QStringLiteral("UNIDAD %1").arg(codigo), 2, 7, precio);
        LineaAlbaran* l = a.NuevaLinea();
        ASSERT_TRUE(l->SetCodigo(codigo));
        l->FijarCantidad(1);
    }
    ASSERT_TRUE(a.Update());
    NavegadorFalso navegador;
    QPointer<UnAlbaran> w = UnAlbaran::Editar(*a.Numero, &navegador);
    ASSERT_TRUE(w);
    EXPECT_EQ(hijo<QLabel>(w, "lbBase")->text(), QStringLiteral("21,55"));
    EXPECT_EQ(hijo<QLabel>(w, "lbDcto")->text(), QStringLiteral("2,16"));
    EXPECT_EQ(hijo<QLabel>(w, "lbTotal")->text(), QStringLiteral("19,39"));
    const auto filas = Global::BD->ListaAlbaranes(Filtro{*a.Numero});
    ASSERT_EQ(filas.size(), 1u);
    EXPECT_EQ(Formato(filas[0].Importe / 100, QStringLiteral("##,##0.00;-##,##0.00;#")), QStringLiteral("19,39"));
    w->close();
    asentar();

    // The totals' boxes keep their size while the figures change, so that a key repaints the
    // boxes and not the window laid out again; a figure wider than a box widens it, whole.
    articulo(990021, QStringLiteral("JAMON ENTERO"), 2, 7, 9999999);  // 99.999,99 a unit
    Albaran jamon(*Global::BD);
    ASSERT_TRUE(jamon.WhoAmI());
    ASSERT_TRUE(jamon.SetCliente(9012));
    LineaAlbaran* l = jamon.NuevaLinea();
    ASSERT_TRUE(l->SetCodigo(990021));
    l->FijarCantidad(15);
    ASSERT_TRUE(jamon.Update());
    w = UnAlbaran::Editar(*jamon.Numero, &navegador);
    ASSERT_TRUE(w);
    QApplication::processEvents();
    for (const char* nombre : {"lbBase", "lbEnva", "lbDcto", "lbTotal"}) {
        QLabel* total = hijo<QLabel>(w, nombre);
        EXPECT_EQ(total->minimumSize(), total->maximumSize()) << nombre;
        EXPECT_GE(total->width(), total->sizeHint().width()) << nombre;
        EXPECT_TRUE(total->autoFillBackground()) << nombre;
    }
    EXPECT_EQ(hijo<QLabel>(w, "lbTotal")->text().size(), 12);  // 1.xxx.xxx,xx
    w->close();
    asentar();
}

TEST_F(UnAlbaranTest, InvoicedNoteOpensReadOnlyAndNoKeyChangesIt)
{
    const qint32 numero = notaGuardada();
    m().ejecutar(QStringLiteral("update AlbaranVentaCabecera set Factura=5, sFac=0 where Numero=%1").arg(numero));
    NavegadorFalso navegador;
    QPointer<UnAlbaran> w = UnAlbaran::Editar(numero, &navegador);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->NumeroEditado(), numero);
    EXPECT_TRUE(hijo<QLineEdit>(w, "txCliente")->isReadOnly());
    EXPECT_TRUE(hijo<QLineEdit>(w, "txCodCli")->isReadOnly());
    EXPECT_TRUE(hijo<QLineEdit>(w, "txDesctoPP")->isReadOnly());
    // Its invoice names it by number and date.
    EXPECT_TRUE(hijo<QLineEdit>(w, "txNumero")->isReadOnly());
    EXPECT_TRUE(hijo<QDateEdit>(w, "pkFecha")->isReadOnly());
    QTest::keyClicks(hijo<QLineEdit>(w, "txNumero"), QStringLiteral("77"));
    EXPECT_EQ(w->Documento().Numero, std::optional<qint32>(numero));
    EXPECT_FALSE(hijo<QPushButton>(w, "Borrar")->isEnabled());
    EXPECT_FALSE(ed(w)->isVisible());
    EXPECT_EQ(celda(w, 2, 3), QStringLiteral("SIN HOJAS"));

    grd(w)->setFocus();
    grd(w)->setCelda(1, 4);
    EXPECT_FALSE(ed(w)->isVisible());
    for (const QString& texto : {QStringLiteral("5"), QStringLiteral("x")})
        QTest::keyClicks(grd(w), texto);
    QTest::keyClick(grd(w), Qt::Key_Delete, Qt::ShiftModifier);
    pulsar(w, "insCom");
    pulsar(w, "Borrar");
    EXPECT_EQ(w->Documento().NumeroLineas(), 2);
    EXPECT_EQ(celda(w, 1, 4), QStringLiteral("1,250"));
    EXPECT_EQ(grd(w)->Rows(), 5);
    EXPECT_FALSE(w->Cambios());
    Mensajes mensajes;
    pulsar(w, "Cancelar");
    EXPECT_TRUE(mensajes.textos.isEmpty());
    asentar();
    EXPECT_FALSE(w);
    EXPECT_EQ(navegador.quitados, std::vector<long>{numero});
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle where Numero=%1").arg(numero)), 2);
}

TEST_F(UnAlbaranTest, CancellingAsksOnlyWhenSomethingChanged)
{
    const qint32 numero = notaGuardada();
    {
        QPointer<UnAlbaran> w = UnAlbaran::Editar(numero);
        ASSERT_TRUE(w);
        QSignalSpy abandono(w.data(), &UnAlbaran::Abort);
        Mensajes mensajes;
        pulsar(w, "Cancelar");
        EXPECT_TRUE(mensajes.textos.isEmpty());
        asentar();
        EXPECT_FALSE(w);
        EXPECT_EQ(abandono.count(), 1);
    }
    QPointer<UnAlbaran> w = UnAlbaran::Editar(numero);
    ASSERT_TRUE(w);
    QSignalSpy abandono(w.data(), &UnAlbaran::Abort);
    ASSERT_EQ(foco(), ed(w));
    teclas(QStringLiteral("4"));  // Bultos of line 1
    EXPECT_TRUE(w->Cambios());
    // Enter on the question keeps the work.
    QTimer::singleShot(30, [] {
        if (QWidget* caja = QApplication::activeModalWidget())
            QTest::keyClick(caja, Qt::Key_Return);
    });
    pulsar(w, "Cancelar");
    asentar();
    ASSERT_TRUE(w);
    EXPECT_EQ(abandono.count(), 0);
    Mensajes mensajes;
    mensajes.Cancelar();
    pulsar(w, "Cancelar");
    ASSERT_EQ(mensajes.textos, QStringList{QStringLiteral("Abandonar los cambios realizados: ¿SEGURO?")});
    ASSERT_TRUE(w);
    EXPECT_EQ(abandono.count(), 0);
    pulsar(w, "Cancelar");
    asentar();
    EXPECT_FALSE(w);
    EXPECT_EQ(abandono.count(), 1);
    EXPECT_EQ(uno(QStringLiteral("select Bultos from AlbaranVentaDetalle where Numero=%1 and Articulo=990001").arg(numero)), 0);
}

TEST_F(UnAlbaranTest, FailedSavesWriteNothingAndKeepWhatWasTyped)
{
    const qint32 existente = notaGuardada();
    QPointer<UnAlbaran> w = UnAlbaran::Editar(std::nullopt);
    ASSERT_TRUE(w);
    const qint32 numero = *w->Documento().Numero;
    Mensajes mensajes;

    // No customer.
    pulsar(w, "Aceptar");
    EXPECT_EQ(mensajes.textos.value(0), QStringLiteral("Debe asignar un cliente."));
    ASSERT_TRUE(w);

    // An empty note: asked before writing; "No" writes nothing.
    hijo<QLineEdit>(w, "txCodCli")->setFocus();
    teclas(QStringLiteral("9012"));
    mensajes.Responder(QMessageBox::No);
    pulsar(w, "Aceptar");
    EXPECT_EQ(mensajes.textos.value(1), QStringLiteral("El Albarán parece estar vacío: ¿Guardarlo de todos modos?"));
    ASSERT_TRUE(w);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Numero=%1").arg(numero)), 0);

    // A number that another note has.
    grd(w)->setCelda(1, 2);
    teclas(QStringLiteral("990001"));
    intro();
    teclas(QStringLiteral("2"));
    hijo<QLineEdit>(w, "txNumero")->setFocus();
    tecla(Qt::Key_A, Qt::ControlModifier);
    teclas(QString::number(existente));
    pulsar(w, "Aceptar");
    EXPECT_EQ(mensajes.textos.value(2), QStringLiteral("Error al guardar los datos.\nYa hay un albarán con el número %1. "
                                                       "Cambie el número y vuelva a guardar.").arg(existente));
    ASSERT_TRUE(w);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaDetalle where Numero=%1").arg(existente)), 2);
    EXPECT_EQ(celda(w, 1, 4), QStringLiteral("2,000"));

    // The free number again: everything typed is saved.
    hijo<QLineEdit>(w, "txNumero")->setFocus();
    tecla(Qt::Key_A, Qt::ControlModifier);
    teclas(QString::number(numero));
    pulsar(w, "Aceptar");
    EXPECT_EQ(mensajes.textos.size(), 3);
    asentar();
    EXPECT_FALSE(w);
    EXPECT_EQ(uno(QStringLiteral("select Cantidad from AlbaranVentaDetalle where Numero=%1").arg(numero)), 2000);
}

TEST_F(UnAlbaranTest, GridRowsFollowTheLinesAndComments)
{
    const qint32 numero = notaGuardada(true);
    EXPECT_EQ(vendido(990001), 1250);
    QPointer<UnAlbaran> w = UnAlbaran::Editar(numero);
    ASSERT_TRUE(w);
    // Title, line 1, its comment, line 2, entry row.
    ASSERT_EQ(grd(w)->Rows(), 5);
    EXPECT_EQ(celda(w, 2, 3), QStringLiteral("SIN HOJAS"));
    EXPECT_EQ(celda(w, 2, 4), QString());

    // The first key in the entry row makes a line and a new entry row.
    grd(w)->setCelda(4, 0);
    teclas(QStringLiteral("1"));
    EXPECT_EQ(w->Documento().NumeroLineas(), 3);
    EXPECT_EQ(grd(w)->Rows(), 6);

    // A comment under line 2: a blank keeps its row, an emptied one loses it.
    grd(w)->setCelda(3, 0);
    pulsar(w, "insCom");
    EXPECT_EQ(grd(w)->Rows(), 7);
    EXPECT_EQ(grd(w)->Row(), 4);
    EXPECT_EQ(grd(w)->Col(), 3);
    EXPECT_EQ(w->Documento().Linea(2)->Comentario(), QStringLiteral(" "));
    teclas(QStringLiteral("FRIO"));
    EXPECT_EQ(w->Documento().Linea(2)->Comentario(), QStringLiteral("FRIO"));
    tecla(Qt::Key_A, Qt::ControlModifier);
    tecla(Qt::Key_Backspace);
    EXPECT_EQ(grd(w)->Rows(), 6);
    EXPECT_EQ(grd(w)->Row(), 3);
    EXPECT_EQ(w->Documento().Linea(2)->Comentario(), QString());

    // Enter on "Dcto." of the last row stays on that row, at column 0.
    grd(w)->setCelda(5, 7);
    intro();
    EXPECT_EQ(grd(w)->Row(), 5);
    EXPECT_EQ(grd(w)->Col(), 0);

    // Arrows move between cells only from the ends of the text.
    grd(w)->setCelda(1, 4);
    tecla(Qt::Key_End);
    tecla(Qt::Key_Left);
    tecla(Qt::Key_Right);
    EXPECT_EQ(grd(w)->Col(), 4);
    tecla(Qt::Key_Right);
    EXPECT_EQ(grd(w)->Col(), 5);
    tecla(Qt::Key_Right);
    EXPECT_EQ(grd(w)->Col(), 7);
    tecla(Qt::Key_Home);
    tecla(Qt::Key_Left);
    EXPECT_EQ(grd(w)->Col(), 5);
    tecla(Qt::Key_Down);
    EXPECT_EQ(grd(w)->Row(), 2);
    tecla(Qt::Key_Up);
    tecla(Qt::Key_Up);
    EXPECT_EQ(grd(w)->Row(), 1);

    // Deleting the article line with a comment takes both rows; its stock goes back on save.
    tecla(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(grd(w)->Rows(), 4);
    EXPECT_EQ(celda(w, 1, 3), QStringLiteral("ZUMO PRUEBA"));
    EXPECT_EQ(celda(w, 2, 0), QStringLiteral("1"));
    pulsar(w, "Aceptar");
    asentar();
    EXPECT_FALSE(w);
    EXPECT_EQ(vendido(990001), 0);
    EXPECT_EQ(vendido(990002), 3);
}

TEST_F(UnAlbaranTest, ANameCompletesToAnArticleAndCellsRefuseWhatTheNoteCannotHold)
{
    QPointer<UnAlbaran> w = UnAlbaran::Editar(std::nullopt);
    ASSERT_TRUE(w);
    // A name typed in the description completes to a catalogue article.
    grd(w)->setCelda(1, 3);
    ASSERT_EQ(foco(), ed(w));
    teclas(QStringLiteral("zanahoria p"));
    EXPECT_EQ(ed(w)->text(), QStringLiteral("ZANAHORIA PRUEBA"));
    EXPECT_EQ(ed(w)->selectedText(), QStringLiteral("RUEBA"));
    EXPECT_EQ(hijo<QLabel>(w, "lbAux")->text(), QStringLiteral("990001"));
    EXPECT_EQ(celda(w, 1, 2), QStringLiteral("990001"));
    EXPECT_EQ(celda(w, 1, 5), QStringLiteral("8,99"));
    EXPECT_EQ(w->Documento().Linea(1)->Codigo(), 990001);
    EXPECT_EQ(grd(w)->Rows(), 3);  // the line and a new entry row
    EXPECT_TRUE(w->Cambios());
    intro();
    EXPECT_EQ(grd(w)->Col(), 4);

    Mensajes mensajes;
    grd(w)->setCelda(1, 2);
    teclas(QStringLiteral("99x0001"));  // letters never reach a code
    EXPECT_EQ(ed(w)->text(), QStringLiteral("990001"));
    intro();
    QGuiApplication::clipboard()->setText(QStringLiteral("1a2,5\n"));
    tecla(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ed(w)->text(), QStringLiteral("12,5"));
    EXPECT_EQ(w->Documento().Linea(1)->CantidadGramos(), 12500);

    // Seven digits of kilograms do not fit in grams: the seventh is refused with a message.
    tecla(Qt::Key_A, Qt::ControlModifier);
    teclas(QStringLiteral("9999999"));
    QTest::qWait(60);
    EXPECT_EQ(ed(w)->text(), QStringLiteral("999999"));
    ASSERT_EQ(mensajes.textos.size(), 1);
    EXPECT_TRUE(mensajes.textos[0].startsWith(QStringLiteral("La cantidad es demasiado grande")));
    EXPECT_EQ(w->Documento().Linea(1)->CantidadGramos(), 999999000);

    grd(w)->setCelda(1, 7);
    teclas(QStringLiteral("101"));
    QTest::qWait(60);
    EXPECT_EQ(ed(w)->text(), QStringLiteral("10"));
    EXPECT_EQ(mensajes.textos.value(1), QStringLiteral("El descuento debe estar entre 0 y 100."));
    grd(w)->setCelda(1, 6);
    teclas(QStringLiteral("5"));
    EXPECT_EQ(ed(w)->text(), QStringLiteral("K"));
}

TEST_F(UnAlbaranTest, PrintingSavesFirstAndPrintsEachCopy)
{
    ImpresionDePrueba impresion(std::nullopt);
    const std::vector<QStringList>& impresos = impresion.impresos;
    QPointer<UnAlbaran> w = UnAlbaran::Editar(std::nullopt);
    ASSERT_TRUE(w);
    const qint32 numero = *w->Documento().Numero;
    teclas(QStringLiteral("9012"));
    intro();
    tecla(Qt::Key_Right);
    tecla(Qt::Key_Right);
    teclas(QStringLiteral("990002"));
    intro();
    teclas(QStringLiteral("4"));

    pulsar(w, "Imprim");  // dialog cancelled
    EXPECT_TRUE(impresos.empty());
    EXPECT_EQ(uno(QStringLiteral("select count(*) from AlbaranVentaCabecera where Numero=%1").arg(numero)), 0);

    impresion.copias = 2;
    pulsar(w, "Imprim");
    ASSERT_EQ(impresos.size(), 2u);
    EXPECT_TRUE(impresos[0].value(0).endsWith(QStringLiteral("/mskAlba.txt")));
    EXPECT_TRUE(impresos[0].contains(QStringLiteral("ZUMO PRUEBA")));
    EXPECT_EQ(impresos[0], impresos[1]);
    EXPECT_EQ(uno(QStringLiteral("select Cantidad from AlbaranVentaDetalle where Numero=%1").arg(numero)), 4);

    // Still open on the stored note: a further change saves over it.
    ASSERT_TRUE(w);
    grd(w)->setCelda(1, 4);
    teclas(QStringLiteral("6"));
    pulsar(w, "Aceptar");
    asentar();
    EXPECT_FALSE(w);
    EXPECT_EQ(uno(QStringLiteral("select Cantidad from AlbaranVentaDetalle where Numero=%1").arg(numero)), 6);
}

TEST_F(UnAlbaranTest, ResizingKeepsPanelsAtTheEdgesAndWholeRows)
{
    QPointer<UnAlbaran> w = UnAlbaran::Editar(notaGuardada());
    ASSERT_TRUE(w);
    // Opened for the first time (no place saved), every column and button is whole.
    {
        const Rejilla* g = grd(w);
        EXPECT_GE(g->viewport()->width(), g->horizontalHeader()->length());
        for (QPushButton* b : w->findChildren<QPushButton*>()) {
            if (b->isVisible()) {
                EXPECT_GE(b->width(), b->sizeHint().width()) << b->objectName().toStdString();
            }
        }
        EXPECT_GE(hijo<QLineEdit>(w, "txNumero")->width(), hijo<QLineEdit>(w, "txNumero")->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
        // Titles and article codes are never cut, whatever the font.
        for (int c = 0; c < g->Cols(); ++c)
            EXPECT_GT(g->anchoColumna(c), g->fontMetrics().horizontalAdvance(g->TextMatrix(0, c))) << c;
        EXPECT_GT(g->anchoColumna(2), g->fontMetrics().horizontalAdvance(QStringLiteral("000036")));
    }
    auto* marco = qobject_cast<QMdiSubWindow*>(w->parentWidget());
    ASSERT_TRUE(marco);
    Rejilla* g = grd(w);
    QWidget* aceptar = hijo<QWidget>(w, "Aceptar");
    for (const QSize tamano : {QSize(700, 400), QSize(900, 650), QSize(500, 333), QSize(640, 517)}) {
        marco->resize(tamano);
        QTest::qWait(5);
        const int dentro = g->height() - 2 * g->frameWidth() - g->horizontalHeader()->height()
            - (g->horizontalScrollBar()->isVisible() ? g->horizontalScrollBar()->height() : 0);
        EXPECT_EQ(dentro % g->altoFila(1), 0) << tamano.width() << "x" << tamano.height();
        EXPECT_GE(dentro, g->altoFila(1));
        const int pie = aceptar->mapTo(w.data(), QPoint(0, aceptar->height())).y();
        EXPECT_LE(pie, w->height());
        EXPECT_GT(pie, w->height() - 12);
        EXPECT_LE(g->geometry().bottom(), aceptar->mapTo(w.data(), QPoint(0, 0)).y());
    }
    // The cell editor stays on its cell after a resize.
    EXPECT_EQ(ed(w)->geometry().topLeft(), g->rectCelda(g->Row(), g->Col()).topLeft() + QPoint(3, 1));

    // The next window opens where this one was left.
    marco->move(37, 21);
    const QRect dejado = marco->geometry();
    pulsar(w, "Cancelar");
    asentar();
    ASSERT_FALSE(w);
    QPointer<UnAlbaran> otra = UnAlbaran::Editar(std::nullopt);
    ASSERT_TRUE(otra);
    EXPECT_EQ(otra->parentWidget()->geometry(), dejado);
}

}  // namespace
