#include "editorcelda.h"

#include "rejilla.h"
#include "utilidades.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class EditorCeldaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto* disposicion = new QVBoxLayout(&ventana);
        rejilla = new Rejilla;
        otro = new QLineEdit;
        disposicion->addWidget(rejilla);
        disposicion->addWidget(otro);
        rejilla->setRows(40);
        rejilla->setCols(4);
        rejilla->setTextMatrix(2, 1, QStringLiteral("12"));
        for (int c = 0; c < 4; ++c)
            rejilla->setAnchoColumna(c, 60);
        editor = new EditorCelda(rejilla);
        ventana.resize(320, 200);
        ventana.show();
        QApplication::setActiveWindow(&ventana);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&ventana));
    }

    // Opens the box on a cell with its text selected and the focus, as the screens do.
    void abrirEn(int fila, int col)
    {
        ASSERT_TRUE(editor->abrir(fila, col, rejilla->TextMatrix(fila, col)));
        editor->selectAll();
        editor->setFocus();
    }

    QWidget ventana;
    Rejilla* rejilla = nullptr;
    QLineEdit* otro = nullptr;
    EditorCelda* editor = nullptr;
};

TEST_F(EditorCeldaTest, LiesOnItsCellAndFollowsScrollAndResize)
{
    abrirEn(2, 1);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->geometry(), rejilla->rectCelda(2, 1));
    EXPECT_EQ(editor->text(), "12");

    rejilla->verticalScrollBar()->setValue(20);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(rejilla->hasFocus());  // a hidden box keeps no focus
    EXPECT_TRUE(editor->estaAbierto());

    rejilla->verticalScrollBar()->setValue(0);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->geometry(), rejilla->rectCelda(2, 1));

    rejilla->setAnchoColumna(0, 40);
    rejilla->setAnchoColumna(1, 150);
    EXPECT_EQ(editor->geometry(), rejilla->rectCelda(2, 1));

    editor->setMargenes(QMargins(2, 1, 2, 1));
    EXPECT_EQ(editor->geometry(), rejilla->rectCelda(2, 1).marginsRemoved(QMargins(2, 1, 2, 1)));
}

TEST_F(EditorCeldaTest, RefusesFixedCellsAndClosesWhenItsCellGoes)
{
    EXPECT_FALSE(editor->abrir(0, 1, QStringLiteral("x")));
    EXPECT_FALSE(editor->estaAbierto());
    abrirEn(5, 3);
    rejilla->setRows(4);
    EXPECT_FALSE(editor->estaAbierto());
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(EditorCeldaTest, EditadoIsRaisedForUserChangesOnly)
{
    QSignalSpy ediciones(editor, &EditorCelda::editado);
    abrirEn(2, 1);
    editor->fijarTexto(QStringLiteral("99"));
    EXPECT_EQ(ediciones.count(), 0);
    QTest::keyClicks(editor, "ab");
    ASSERT_EQ(ediciones.count(), 2);
    EXPECT_EQ(ediciones.last()[0].toString(), "99ab");
}

TEST_F(EditorCeldaTest, ColumnFilterDropsAndChangesKeys)
{
    // Digits, and "." typed as ",".
    editor->setFiltroColumna(1, [](int& tecla) {
        if (tecla == '.')
            tecla = ',';
        FiltrarTecla(tecla, QStringLiteral(","));
    });
    abrirEn(2, 1);
    QTest::keyClicks(editor, "3a.5 x");
    EXPECT_EQ(editor->text(), "3,5");
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(editor->text(), "3,");

    abrirEn(2, 2);  // no filter in this column
    QTest::keyClicks(editor, "a.b");
    EXPECT_EQ(editor->text(), "a.b");

    // The general filter covers columns without their own.
    editor->setFiltroGeneral([](int& tecla) { FiltrarTecla(tecla); });
    abrirEn(2, 3);
    QTest::keyClicks(editor, "x7y");
    EXPECT_EQ(editor->text(), "7");
}

TEST_F(EditorCeldaTest, LengthLimitCountsTheTextOutsideTheSelection)
{
    editor->setLongitudColumna(1, 3);
    abrirEn(2, 1);  // "12" selected
    QTest::keyClicks(editor, "98765");
    EXPECT_EQ(editor->text(), "987");
    editor->selectAll();
    QTest::keyClicks(editor, "4");  // replaces the whole selection
    EXPECT_EQ(editor->text(), "4");
    QTest::keyClicks(editor, "56");
    QTest::keyClick(editor, Qt::Key_Backspace);  // Backspace always passes
    EXPECT_EQ(editor->text(), "45");
}

TEST_F(EditorCeldaTest, PastedTextGoesThroughTheSameFiltersAndLimits)
{
    // "-" only at the start, as a numeric column would have it.
    editor->setFiltroColumna(1, [this](int& tecla) {
        if (tecla == '-') {
            if (editor->inicioSeleccion() != 0 || editor->textoFueraSeleccion().contains(QLatin1Char('-')))
                tecla = 0;
            return;
        }
        FiltrarTecla(tecla);
    });
    editor->setLongitudColumna(1, 5);
    abrirEn(2, 1);
    QGuiApplication::clipboard()->setText(QStringLiteral("-1a-2\n3\t45678"));
    QSignalSpy ediciones(editor, &EditorCelda::editado);
    QTest::keySequence(editor, QKeySequence::Paste);
    EXPECT_EQ(editor->text(), "-1234");
    EXPECT_EQ(ediciones.count(), 1);

    editor->setCursorPosition(2);
    editor->insertarFiltrado(QStringLiteral("9"));  // already at the limit
    EXPECT_EQ(editor->text(), "-1234");

    // Into a text column the clipboard's line breaks are dropped, the rest kept.
    abrirEn(2, 2);
    QGuiApplication::clipboard()->setText(QStringLiteral("uno\ndos"));
    editor->pegar();
    EXPECT_EQ(editor->text(), "unodos");
}

TEST_F(EditorCeldaTest, EnterHookRoutesOrLetsTheKeyPass)
{
    bool mover = true;
    int llamadas = 0;
    editor->setIntro([&] {
        ++llamadas;
        return mover;
    });
    abrirEn(2, 1);
    QSignalSpy intro(editor, &QLineEdit::returnPressed);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(llamadas, 1);
    EXPECT_EQ(intro.count(), 0);
    mover = false;
    QTest::keyClick(editor, Qt::Key_Enter);
    EXPECT_EQ(llamadas, 2);
    EXPECT_EQ(intro.count(), 1);

    // The key-down hook sees keys before anything else and may swallow them.
    editor->setTeclaAbajo([](QKeyEvent& e) { return e.key() == Qt::Key_X || e.key() == Qt::Key_Return; });
    QTest::keyClicks(editor, "x1");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(editor->text().endsWith(QLatin1String("1")));
    EXPECT_FALSE(editor->text().contains(QLatin1Char('x')));
    EXPECT_EQ(llamadas, 2);
}

TEST_F(EditorCeldaTest, SelectionIsSeenAsTheOldTextBoxesGaveIt)
{
    abrirEn(2, 1);
    editor->fijarTexto(QStringLiteral("12345"));
    editor->setSelection(1, 2);
    EXPECT_EQ(editor->inicioSeleccion(), 1);
    EXPECT_EQ(editor->largoSeleccion(), 2);
    EXPECT_EQ(editor->textoFueraSeleccion(), "145");
    editor->setSelection(4, -3);  // selected backwards: still starts at 1
    EXPECT_EQ(editor->inicioSeleccion(), 1);
    editor->selectAll();
    EXPECT_EQ(editor->inicioSeleccion(), 0);
    editor->setCursorPosition(5);
    EXPECT_EQ(editor->inicioSeleccion(), 5);
    EXPECT_EQ(editor->largoSeleccion(), 0);
}

TEST_F(EditorCeldaTest, DeleteIsAnEditingKeyNotATypedCharacter)
{
    editor->setFiltroColumna(1, [](int& tecla) { FiltrarTecla(tecla); });
    abrirEn(2, 1);
    editor->setText(QStringLiteral("12345"));
    editor->setCursorPosition(0);
    // As X11 delivers it: the key with the DEL character as its text.
    QKeyEvent suprimir(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    QApplication::sendEvent(editor, &suprimir);
    EXPECT_EQ(editor->text(), QStringLiteral("2345"));
}

}  // namespace
