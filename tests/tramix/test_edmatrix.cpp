#include <tramix/EdMatrix.h>

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QStyle>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <vector>

// Readable texts in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& texto, std::ostream* os) { *os << '"' << texto.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

const QLocale kEspanol(QLocale::Spanish, QLocale::Spain);
const QLocale kIngles(QLocale::English, QLocale::UnitedStates);

struct Llamada {
    int fila;
    int col;
    QVariant valor;
};

// Columns: 1 text, 2 integer "#,##0", 3 decimal "#,##0.00", 4 date (grid numbering, with
// row titles in column 0).
QVariantList columnasMixtas()
{
    return {
        QVariantList{QStringLiteral("Nombre"), 1200, 8},
        QVariantList{QStringLiteral("Cantidad"), 1000, 2, QStringLiteral("#,##0")},
        QVariantList{QStringLiteral("Precio"), 1000, 5, QStringLiteral("#,##0.00")},
        QVariantList{QStringLiteral("Fecha"), 1200, 7, QStringLiteral("dd/mm/yyyy")},
    };
}

class EdMatrixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EdMatrix::FijarLocal(kEspanol);
        auto* disposicion = new QVBoxLayout(&ventana);
        matriz = new EdMatrix;
        otro = new QLineEdit;
        disposicion->addWidget(matriz);
        disposicion->addWidget(otro);
        QObject::connect(matriz, &EdMatrix::Validar, [this](qint16& Row, qint16& Col, QVariant& Value, bool& Cancel) {
            llamadas.push_back({Row, Col, Value});
            if (manejador)
                manejador(Row, Col, Value, Cancel);
        });
        rejilla = matriz->findChild<QTableWidget*>(QStringLiteral("Grd"));
        editor = matriz->findChild<QLineEdit*>(QStringLiteral("txEdGrd"));
        ASSERT_TRUE(rejilla && editor);
        ventana.resize(520, 320);
        ventana.show();
        QApplication::setActiveWindow(&ventana);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&ventana));
    }

    // Three titled rows of the four mixed columns, with values, and the focus in the grid.
    void preparar()
    {
        matriz->Setup(QStringList{QStringLiteral("Uno"), QStringLiteral("Dos"), QStringLiteral("Tres")},
                      columnasMixtas());
        ASSERT_TRUE(matriz->FijarMatriz(QVariantList{
            QVariantList{QStringLiteral("pan"), 3, 1.5, QDate(2024, 3, 5)},
            QVariantList{QStringLiteral("leche"), 1200, 0.89, QVariant()},
            QVariantList{QStringLiteral("queso"), -2, 14, QVariant()},
        }));
        enfocar();
    }

    // Focus comes into the control from the other field, as a user tabbing in.
    void enfocar()
    {
        otro->setFocus();
        matriz->setFocus();
        ASSERT_TRUE(editor->hasFocus());
    }

    // Current cell and texts in the grid's numbering (row 0 titles, column 0 row titles).
    int fijas() const { return rejilla->verticalHeader()->isHidden() ? 0 : 1; }
    int fila() const { return rejilla->currentRow() + 1; }
    int col() const { return rejilla->currentColumn() + fijas(); }
    QString celda(int f, int c) const
    {
        const QTableWidgetItem* it = rejilla->item(f - 1, c - fijas());
        return it ? it->text() : QString();
    }
    QRect rectCelda(int f, int c) const { return rejilla->visualRect(rejilla->model()->index(f - 1, c - fijas())); }
    void irA(int f, int c) { QTest::mouseClick(rejilla->viewport(), Qt::LeftButton, {}, rectCelda(f, c).center()); }
    void tecla(Qt::Key k) { QTest::keyClick(editor, k); }

    QWidget ventana;
    EdMatrix* matriz = nullptr;
    QLineEdit* otro = nullptr;
    QTableWidget* rejilla = nullptr;
    QLineEdit* editor = nullptr;
    std::vector<Llamada> llamadas;
    std::function<void(qint16&, qint16&, QVariant&, bool&)> manejador;
};

// --- Setup -------------------------------------------------------------------------------

TEST_F(EdMatrixTest, SetupWithRowTitlesGivesThemABoldFixedColumn)
{
    const QStringList titulos{QStringLiteral("Uno"), QStringLiteral("Un título largo"), QStringLiteral("Tres")};
    matriz->Setup(titulos, columnasMixtas());
    EXPECT_FALSE(rejilla->verticalHeader()->isHidden());
    EXPECT_EQ(rejilla->rowCount(), 3);
    EXPECT_EQ(rejilla->columnCount(), 4);
    EXPECT_EQ(rejilla->verticalHeaderItem(1)->text(), titulos[1]);
    EXPECT_TRUE(rejilla->verticalHeaderItem(1)->font().bold());
    EXPECT_TRUE(rejilla->horizontalHeaderItem(0)->font().bold());
    EXPECT_EQ(rejilla->horizontalHeaderItem(2)->text(), "Precio");

    QFont negrita = matriz->font();
    negrita.setBold(true);
    EXPECT_EQ(rejilla->verticalHeader()->width(), QFontMetrics(negrita).horizontalAdvance(titulos[1]) + 8);
    const double tpp = 1440.0 / rejilla->logicalDpiX();
    EXPECT_EQ(rejilla->columnWidth(0), qRound(1200 / tpp));
    EXPECT_EQ(rejilla->columnWidth(1), qRound(1000 / tpp));

    // The editor starts on the first data cell.
    EXPECT_EQ(fila(), 1);
    EXPECT_EQ(col(), 1);
    EXPECT_EQ(matriz->Textos(), (QList<QStringList>(3, QStringList(4, QString()))));
}

TEST_F(EdMatrixTest, SetupWithoutRowTitlesHasNoFixedColumnAtLeastOneRowAndNoGroupingMarksUnformatted)
{
    matriz->Setup(QVariant(), QVariantList{QVariantList{QStringLiteral("A")}, QVariantList{QStringLiteral("B"), QVariant(), 2}});
    EXPECT_TRUE(rejilla->verticalHeader()->isHidden());
    EXPECT_EQ(rejilla->rowCount(), 1);
    EXPECT_EQ(rejilla->columnCount(), 2);
    EXPECT_EQ(rejilla->horizontalHeaderItem(1)->text(), "B");
    EXPECT_EQ(col(), 0);

    // A column without a type is text; with type 2 it is numeric and right-aligned.
    matriz->setFocus();
    QTest::keyClicks(editor, "a1");  // reaches the cell at once, no Validar yet
    EXPECT_EQ(celda(1, 0), "a1");
    EXPECT_EQ(matriz->Textos()[0][0], "a1");
    EXPECT_TRUE(llamadas.empty());
    tecla(Qt::Key_Return);
    QTest::keyClicks(editor, "b2");
    EXPECT_EQ(celda(1, 1), "2");
    EXPECT_TRUE(editor->alignment() & Qt::AlignRight);

    // Unformatted numbers carry no grouping marks.
    matriz->Setup(QStringList{}, QVariantList{QVariantList{QStringLiteral("Importe"), 1000, 5}});
    ASSERT_TRUE(matriz->FijarMatriz(QVariantList{QVariantList{12345.5}}));
    EXPECT_EQ(matriz->Textos().value(0).value(0), QStringLiteral("12345,5"));
}

// --- Matriz ------------------------------------------------------------------------------

TEST_F(EdMatrixTest, MatrizWritesFormattedValuesAndReadsTexts)
{
    preparar();
    const QList<QStringList> esperado{
        {"pan", "3", "1,50", "05/03/2024"},
        {"leche", "1.200", "0,89", ""},
        {"queso", "-2", "14,00", ""},
    };
    EXPECT_EQ(matriz->Textos(), esperado);
    const QVariantList filas = matriz->Matriz().toList();
    ASSERT_EQ(filas.size(), 3);
    EXPECT_EQ(filas[1].toList().value(2).toString(), "0,89");
    EXPECT_EQ(matriz->property("Matriz").toList().size(), 3);

    // The editor lies on the first data cell, showing its text.
    EXPECT_EQ(editor->geometry(), rectCelda(1, 1));
    EXPECT_EQ(editor->text(), "pan");
    EXPECT_EQ(editor->selectedText(), "pan");

    // A matrix of one dimension is one column.
    matriz->setProperty("Matriz", QVariantList{1, 2.5, QStringLiteral("x"), true});
    EXPECT_EQ(rejilla->columnCount(), 1);
    EXPECT_EQ(matriz->Textos(), (QList<QStringList>{{"1"}, {"2,5"}, {"x"}, {"Verdadero"}}));
}

TEST_F(EdMatrixTest, ColumnsOrValuesThatAreNoArrayLeaveTheGridAsItWas)
{
    preparar();
    const QList<QStringList> antes = matriz->Textos();
    for (const QVariant& v : {QVariant(), QVariant(QStringLiteral("a,b")), QVariant(7),
                              QVariant(QVariantMap{{QStringLiteral("a"), 1}})}) {
        EXPECT_FALSE(matriz->FijarMatriz(v));
        matriz->setMatriz(v);
        matriz->Setup(QStringList{QStringLiteral("x")}, v);
        EXPECT_EQ(matriz->Textos(), antes);
    }
    EXPECT_EQ(rejilla->columnCount(), 4);
    EXPECT_FALSE(rejilla->verticalHeader()->isHidden());
}

TEST_F(EdMatrixTest, EmptyRaggedAndOversizedMatricesKeepTheControlUsable)
{
    preparar();
    // No rows: nothing to read, no editor, keys do nothing harmful.
    ASSERT_TRUE(matriz->FijarMatriz(QVariantList{}));
    EXPECT_FALSE(matriz->Matriz().isValid());
    EXPECT_TRUE(editor->isHidden());
    QTest::keyClicks(rejilla, "12");
    QTest::keyClick(rejilla, Qt::Key_Down);
    ASSERT_TRUE(matriz->FijarMatriz(QVariantList{QVariantList{}, QVariantList{}}));
    EXPECT_FALSE(matriz->Matriz().isValid());
    matriz->AutoWidth();

    // Ragged rows: as wide as the widest, missing cells empty; a bare value is a row of one.
    ASSERT_TRUE(matriz->FijarMatriz(QVariantList{QVariantList{1}, QVariantList{1, 2, 3}, QStringLiteral("solo")}));
    EXPECT_EQ(matriz->Textos(), (QList<QStringList>{{"1", "", ""}, {"1", "2", "3,00"}, {"solo", "", ""}}));

    // Too many cells: refused, nothing changes.
    QVariantList grande;
    for (int r = 0; r < 600; ++r)
        grande.append(QVariant(QVariantList(500, 1)));
    EXPECT_FALSE(matriz->FijarMatriz(grande));
    EXPECT_FALSE(matriz->FijarMatriz(QVariantList(EdMatrix::kMaxFilas + 1, 1)));
    EXPECT_EQ(matriz->Textos().size(), 3);

    // Large but within the limits: taken, and the editor still works.
    QVariantList amplia;
    for (int r = 0; r < 2000; ++r)
        amplia.append(QVariant(QVariantList(20, r)));
    ASSERT_TRUE(matriz->FijarMatriz(amplia));
    EXPECT_EQ(matriz->Textos().size(), 2000);
    EXPECT_EQ(matriz->Textos()[1999][19], "1999");
    QTest::keyClicks(editor, "x");
    EXPECT_EQ(celda(1, 1), "x");
}

TEST_F(EdMatrixTest, NewValuesDropAnEditNotYetCommittedAndLeaveTheFocusWhereItIs)
{
    preparar();
    QTest::keyClicks(editor, "vino");
    otro->setFocus();  // Validar runs here for the finished edit
    llamadas.clear();
    matriz->setFocus();
    QTest::keyClicks(editor, "zumo");
    ASSERT_TRUE(matriz->FijarMatriz(QVariantList{QVariantList{QStringLiteral("agua")}}));
    tecla(Qt::Key_Right);
    EXPECT_TRUE(llamadas.empty());
    EXPECT_EQ(matriz->Textos(), (QList<QStringList>{{"agua"}}));

    // Loading values does not take the focus from another field.
    otro->setFocus();
    matriz->setMatriz(QVariantList{1, 2});
    EXPECT_TRUE(otro->hasFocus());
    EXPECT_EQ(editor->text(), "1");
}

// --- AutoWidth ---------------------------------------------------------------------------

TEST_F(EdMatrixTest, AutoWidthShowsEveryTitleAndTextWhole)
{
    matriz->Setup(QVariant(), QVariantList{QVariantList{QStringLiteral("A"), 500},
                                           QVariantList{QStringLiteral("Identificación fiscal"), 500}});
    const int antes = rejilla->columnWidth(0);
    matriz->AutoWidth();  // before any Matriz: nothing
    EXPECT_EQ(rejilla->columnWidth(0), antes);

    const QString largo = QStringLiteral("Pan de barra grande de la casa");
    ASSERT_TRUE(matriz->FijarMatriz(QVariantList{QVariantList{QStringLiteral("a"), QStringLiteral("ntic")},
                                                 QVariantList{largo, QString()}}));
    matriz->AutoWidth();
    QStyle* estilo = rejilla->style();
    const QFontMetrics datos(rejilla->font()), titulos(rejilla->horizontalHeader()->font());
    // A cell draws its text inside the focus frame's margins and the grid line.
    const int margenCelda = 2 * (estilo->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, rejilla) + 1) + 1;
    const int margenTitulo = 2 * estilo->pixelMetric(QStyle::PM_HeaderMargin, nullptr, rejilla->horizontalHeader());
    EXPECT_GE(rejilla->columnWidth(0), datos.horizontalAdvance(largo) + margenCelda);
    EXPECT_GE(rejilla->columnWidth(1), titulos.horizontalAdvance(QStringLiteral("Identificación fiscal")) + margenTitulo);
    EXPECT_LE(rejilla->columnWidth(0), datos.horizontalAdvance(largo) + 24);  // fitted, not padded
    EXPECT_EQ(matriz->width(), rejilla->columnWidth(0) + rejilla->columnWidth(1) + 23);
    EXPECT_EQ(rejilla->width(), matriz->width());

    // The editor on the widest cell shows the whole text as well.
    enfocar();
    irA(2, 0);
    ASSERT_EQ(editor->text(), largo);
    const QMargins mt = editor->textMargins(), mc = editor->contentsMargins();
    EXPECT_GE(editor->width(), datos.horizontalAdvance(largo) + 4 + mt.left() + mt.right() + mc.left() + mc.right());
}

TEST_F(EdMatrixTest, DatesTypedTheUsersWayAreCommittedInTheColumnsFormat)
{
    preparar();
    const struct {
        const char* tecleado;
        const char* celda;
    } casos[] = {{"5/3/2024", "05/03/2024"}, {"25/12/24", "25/12/2024"}, {"1-2-99", "01/02/1999"},
                 {"2024-03-07", "07/03/2024"}, {"pronto", "pronto"}};
    for (const auto& caso : casos) {
        irA(2, 4);
        editor->selectAll();
        QTest::keyClicks(editor, QString::fromUtf8(caso.tecleado));
        tecla(Qt::Key_Up);
        EXPECT_EQ(celda(2, 4), QString::fromUtf8(caso.celda)) << caso.tecleado;
    }
    ASSERT_FALSE(llamadas.empty());
    EXPECT_EQ(llamadas[0].valor.toString(), QStringLiteral("05/03/2024"));

    // Where the locale writes the month first, so is it read.
    EdMatrix::FijarLocal(QLocale(QLocale::English, QLocale::UnitedStates));
    irA(2, 4);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("3/5/2024"));
    tecla(Qt::Key_Up);
    EdMatrix::FijarLocal(kEspanol);
    EXPECT_TRUE(celda(2, 4).startsWith(QStringLiteral("05"))) << celda(2, 4).toStdString();
}

// --- keys --------------------------------------------------------------------------------

struct CasoSeparador {
    QLocale local;
    QString esperado;  // "1.5" typed into a decimal column
};

class SeparadorDecimal : public EdMatrixTest, public ::testing::WithParamInterface<CasoSeparador> {};

TEST_P(SeparadorDecimal, EitherKeyTypesTheSystemsSeparatorOnlyOnce)
{
    EdMatrix::FijarLocal(GetParam().local);
    preparar();
    irA(1, 3);
    QTest::keyClicks(editor, "1.5");
    EXPECT_EQ(editor->text(), GetParam().esperado);
    QTest::keyClicks(editor, ".,2");
    EXPECT_EQ(editor->text(), GetParam().esperado + "2");
    // Replacing the selected separator is allowed.
    editor->setSelection(1, 1);
    QTest::keyClicks(editor, ",");
    EXPECT_EQ(editor->text(), GetParam().esperado + "2");
    EXPECT_EQ(celda(1, 3), GetParam().esperado + "2");

    // Integer columns take neither.
    irA(1, 2);
    QTest::keyClicks(editor, "1,5.0");
    EXPECT_EQ(editor->text(), "150");
}

INSTANTIATE_TEST_SUITE_P(Locales, SeparadorDecimal,
                         ::testing::Values(CasoSeparador{kEspanol, QStringLiteral("1,5")},
                                           CasoSeparador{kIngles, QStringLiteral("1.5")}),
                         [](const ::testing::TestParamInfo<CasoSeparador>& i) {
                             return i.param.local.name().toStdString();
                         });

TEST_F(EdMatrixTest, MinusOnlyFirstAndOnceInNumericColumns)
{
    preparar();
    irA(1, 2);
    QTest::keyClicks(editor, "-5-");
    EXPECT_EQ(editor->text(), "-5");
    tecla(Qt::Key_Home);
    QTest::keyClicks(editor, "-");
    EXPECT_EQ(editor->text(), "-5");
    editor->selectAll();
    QTest::keyClicks(editor, "-");  // over the whole text: accepted
    EXPECT_EQ(editor->text(), "-");

    editor->clear();
    QTest::keyClicks(editor, "5-");  // not at the start
    EXPECT_EQ(editor->text(), "5");
    tecla(Qt::Key_Home);
    QTest::keyClicks(editor, "-");
    EXPECT_EQ(editor->text(), "-5");

    // Letters never reach a numeric cell; a text column takes anything.
    QTest::keyClicks(editor, "x y");
    EXPECT_EQ(editor->text(), "-5");
    irA(1, 1);
    QTest::keyClicks(editor, "a-b,c");
    EXPECT_EQ(editor->text(), "a-b,c");
}

TEST_F(EdMatrixTest, PastedTextObeysTheColumnsKeyRules)
{
    preparar();
    QGuiApplication::clipboard()->setText(QStringLiteral("12abc.5x,9-"));
    irA(1, 3);
    QTest::keySequence(editor, QKeySequence::Paste);
    EXPECT_EQ(editor->text(), "12,59");
    EXPECT_EQ(celda(1, 3), "12,59");
    irA(1, 2);
    QTest::keySequence(editor, QKeySequence::Paste);
    EXPECT_EQ(editor->text(), "1259");

    // Very long text in a text column: cut at the box's limit, cell and box agree.
    irA(1, 1);
    QGuiApplication::clipboard()->setText(QString(100000, QLatin1Char('a')));
    QTest::keySequence(editor, QKeySequence::Paste);
    EXPECT_EQ(editor->text().size(), editor->maxLength());
    EXPECT_EQ(celda(1, 1), editor->text());
}

TEST_F(EdMatrixTest, ArrowsMoveTheCaretInsideTheTextAndTheCellAtItsEnds)
{
    preparar();
    // "pan" is selected: the caret counts as at its start.
    tecla(Qt::Key_Left);  // first column: nowhere to go
    EXPECT_EQ(col(), 1);
    tecla(Qt::Key_Right);  // collapses the selection, stays
    EXPECT_EQ(col(), 1);
    editor->setCursorPosition(1);
    tecla(Qt::Key_Right);
    EXPECT_EQ(col(), 1);
    EXPECT_EQ(editor->cursorPosition(), 2);
    tecla(Qt::Key_End);
    tecla(Qt::Key_Right);
    EXPECT_EQ(col(), 2);
    EXPECT_EQ(editor->text(), "3");
    EXPECT_TRUE(editor->hasFocus());
    EXPECT_EQ(editor->geometry(), rectCelda(1, 2));

    editor->setCursorPosition(1);
    tecla(Qt::Key_Left);  // caret not at 0
    EXPECT_EQ(col(), 2);
    tecla(Qt::Key_Left);
    EXPECT_EQ(col(), 1);

    tecla(Qt::Key_Up);  // first row
    EXPECT_EQ(fila(), 1);
    tecla(Qt::Key_Down);
    tecla(Qt::Key_Down);
    EXPECT_EQ(fila(), 3);
    tecla(Qt::Key_Down);  // last row
    EXPECT_EQ(fila(), 3);
    EXPECT_EQ(editor->text(), "queso");
    tecla(Qt::Key_Up);
    EXPECT_EQ(fila(), 2);
}

TEST_F(EdMatrixTest, EnterMovesAlongTheRowThenDownAndStopsOnTheLastCell)
{
    preparar();
    tecla(Qt::Key_Return);
    EXPECT_EQ(col(), 2);
    irA(1, 4);
    tecla(Qt::Key_Enter);
    EXPECT_EQ(fila(), 2);
    EXPECT_EQ(col(), 1);

    irA(3, 4);
    QSignalSpy intro(editor, &QLineEdit::returnPressed);
    tecla(Qt::Key_Return);
    EXPECT_EQ(fila(), 3);
    EXPECT_EQ(col(), 4);
    EXPECT_EQ(intro.count(), 1);  // the key passed on
}

// --- Validar -----------------------------------------------------------------------------

TEST_F(EdMatrixTest, ValidarOnlyForChangedCellsWithTheFormattedValueAndTheCellShowsWhatTheHandlerLeft)
{
    preparar();
    tecla(Qt::Key_Return);
    tecla(Qt::Key_Return);
    EXPECT_TRUE(llamadas.empty());
    QTest::keyClicks(editor, "1234,5");
    tecla(Qt::Key_Return);
    ASSERT_EQ(llamadas.size(), 1u);
    EXPECT_EQ(llamadas[0].fila, 1);
    EXPECT_EQ(llamadas[0].col, 3);
    EXPECT_EQ(llamadas[0].valor.toString(), "1.234,50");
    EXPECT_EQ(celda(1, 3), "1.234,50");

    // A value changed by the handler is what the cell shows.
    irA(1, 1);
    manejador = [](qint16&, qint16&, QVariant& Value, bool&) { Value = Value.toString().toUpper(); };
    QTest::keyClicks(editor, "vino");
    tecla(Qt::Key_Down);
    EXPECT_EQ(celda(1, 1), "VINO");

    manejador = [](qint16&, qint16&, QVariant& Value, bool&) { Value = 2.25; };
    irA(2, 3);
    QTest::keyClicks(editor, "9");
    tecla(Qt::Key_Up);
    EXPECT_EQ(celda(2, 3), "2,25");

    // The handler may send the value to another cell.
    manejador = [](qint16& Row, qint16&, QVariant&, bool&) { Row = 3; };
    irA(1, 1);
    QTest::keyClicks(editor, "caro");
    tecla(Qt::Key_Down);
    EXPECT_EQ(celda(3, 1), "caro");
}

TEST_F(EdMatrixTest, CancelInValidarKeepsTheUserInTheEditedCell)
{
    preparar();
    manejador = [](qint16&, qint16&, QVariant&, bool& Cancel) { Cancel = true; };
    irA(2, 2);
    QTest::keyClicks(editor, "77");
    tecla(Qt::Key_Return);
    EXPECT_EQ(fila(), 2);
    EXPECT_EQ(col(), 2);
    EXPECT_EQ(editor->text(), "77");
    EXPECT_TRUE(editor->hasFocus());
    EXPECT_EQ(editor->geometry(), rectCelda(2, 2));

    irA(3, 1);  // a click elsewhere is refused too, with one Validar
    EXPECT_EQ(llamadas.size(), 2u);
    EXPECT_EQ(fila(), 2);
    EXPECT_EQ(col(), 2);

    manejador = nullptr;
    tecla(Qt::Key_Return);
    EXPECT_EQ(col(), 3);
    EXPECT_EQ(celda(2, 2), "77");
    EXPECT_EQ(llamadas.size(), 3u);
}

TEST_F(EdMatrixTest, LeavingTheControlValidatesTheCellOnce)
{
    preparar();
    manejador = [](qint16&, qint16&, QVariant& Value, bool&) { Value = Value.toString() + "!"; };
    QTest::keyClicks(editor, "vino");
    otro->setFocus();
    ASSERT_EQ(llamadas.size(), 1u);
    EXPECT_EQ(llamadas[0].valor.toString(), "vino");
    EXPECT_EQ(celda(1, 1), "vino!");
    EXPECT_EQ(editor->text(), "vino!");

    // Coming back and moving on raises nothing more for that edit.
    matriz->setFocus();
    tecla(Qt::Key_Down);
    EXPECT_EQ(llamadas.size(), 1u);
    EXPECT_EQ(celda(1, 1), "vino!");

    // Cancelled, the focus comes back to the cell with the text selected.
    manejador = [](qint16&, qint16&, QVariant&, bool& Cancel) { Cancel = true; };
    QTest::keyClicks(editor, "x");
    otro->setFocus();
    EXPECT_TRUE(editor->hasFocus());
    EXPECT_EQ(editor->selectedText(), "x");
    EXPECT_EQ(llamadas.size(), 2u);
}

TEST_F(EdMatrixTest, TabLeavesTheControlBothWays)
{
    preparar();
    QTest::keyClicks(editor, "vino");
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_TRUE(otro->hasFocus());
    EXPECT_EQ(llamadas.size(), 1u);
    QTest::keyClick(otro, Qt::Key_Backtab);
    EXPECT_TRUE(editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_Backtab);
    EXPECT_FALSE(matriz->isAncestorOf(QApplication::focusWidget()));
}

TEST_F(EdMatrixTest, ClickPlacesTheEditorOnTheClickedCellAfterValidating)
{
    preparar();
    QTest::keyClicks(editor, "te");
    irA(3, 2);
    ASSERT_EQ(llamadas.size(), 1u);
    EXPECT_EQ(llamadas[0].fila, 1);
    EXPECT_EQ(llamadas[0].col, 1);
    EXPECT_EQ(fila(), 3);
    EXPECT_EQ(col(), 2);
    EXPECT_EQ(editor->geometry(), rectCelda(3, 2));
    EXPECT_EQ(editor->text(), "-2");
    EXPECT_TRUE(editor->hasFocus());
}

// --- size --------------------------------------------------------------------------------

TEST(EdMatrixTamano, HeightIsAWholeNumberOfRows)
{
    EdMatrix m;
    m.Setup(QVariant(), QVariantList{QVariantList{QStringLiteral("A")}});
    auto* rejilla = m.findChild<QTableWidget*>(QStringLiteral("Grd"));
    m.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m));
    const int alto = rejilla->horizontalHeader()->height();
    ASSERT_GT(alto, 0);
    m.resize(300, 5 * alto + alto / 2);
    EXPECT_EQ(m.height(), 5 * alto + 4);
    EXPECT_EQ(rejilla->geometry(), QRect(0, 0, 300, 5 * alto + 4));
    m.resize(200, 3);  // smaller than a row: still one
    EXPECT_EQ(m.height(), alto + 4);
}

}  // namespace
