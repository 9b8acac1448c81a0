#include "entorno.h"
#include "genefact.h"
#include "contestador.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <QFontMetrics>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

template <typename T>
T* Hijo(QDialog* d, const char* nombre)
{
    T* w = d->findChild<T*>(QString::fromLatin1(nombre));
    EXPECT_TRUE(w) << nombre;
    return w;
}

// On the button's mark: option and check boxes take clicks on their mark and caption only.
void Pulsar(QDialog* d, const char* nombre)
{
    QAbstractButton* b = Hijo<QAbstractButton>(d, nombre);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(std::min(8, b->width() / 2), b->height() / 2));
}

// The six by-reference arguments.
struct Argumentos {
    qint16 cuenta = 5;
    qint16 serie = 3;
    QDate fecha = QDate(2024, 3, 15);
    qint16 detalle = 1;
    bool unoAUno = true;
    bool imprimir = false;

    bool operator==(const Argumentos&) const = default;
    bool Dialogo(GeneFact& g) { return g.Dialogo(cuenta, serie, fecha, detalle, unoAUno, imprimir); }
};

class GeneFactTest : public ::testing::Test {
protected:
    Contestador contestador;
};

TEST_F(GeneFactTest, CountCaptionAndControls)
{
    for (const qint16 cuenta : {qint16(1), qint16(5), qint16(0)}) {
        GeneFact g;
        Argumentos a;
        a.cuenta = cuenta;
        contestador.AlDialogo([&](QDialog* d) {
            EXPECT_EQ(d->windowTitle(), QStringLiteral("Generación de nuevas facturas"));
            // The title fits in the title bar, beside the window's own buttons.
            QFont negrita = d->font();
            negrita.setBold(true);
            EXPECT_GE(d->width(), QFontMetrics(negrita).horizontalAdvance(d->windowTitle()) + 100);
            auto* uno = Hijo<QLabel>(d, "lbNum1");
            auto* varios = Hijo<QLabel>(d, "lbNumN");
            EXPECT_EQ(uno->isVisible(), cuenta == 1);
            EXPECT_EQ(varios->isVisible(), cuenta >= 2);
            EXPECT_EQ(uno->text(), QStringLiteral("Facturando UN albarán"));
            if (cuenta == 5) {
                EXPECT_EQ(varios->text(), QStringLiteral("Facturando 5 albaranes"));
            }
            Pulsar(d, "Cancelo");
        });
        EXPECT_FALSE(a.Dialogo(g));
    }
}

struct CasoDetalle {
    qint16 detalle;
    bool infAlb, detLin;
};

class DetalleInicial : public GeneFactTest, public ::testing::WithParamInterface<CasoDetalle> {};

TEST_P(DetalleInicial, ChecksTheBoxesOfTheLineDetailAndAcceptsItBack)
{
    const CasoDetalle k = GetParam();
    GeneFact g;
    Argumentos a;
    a.detalle = k.detalle;
    a.unoAUno = false;
    contestador.AlDialogo([&](QDialog* d) {
        EXPECT_EQ(Hijo<QCheckBox>(d, "InfAlb")->isChecked(), k.infAlb);
        EXPECT_EQ(Hijo<QCheckBox>(d, "DetLin")->isChecked(), k.detLin);
        EXPECT_TRUE(Hijo<QRadioButton>(d, "var2uno")->isChecked());
        EXPECT_EQ(Hijo<QLineEdit>(d, "txSerie")->text(), QStringLiteral("3"));
        EXPECT_EQ(Hijo<QDateEdit>(d, "pkFecha")->date(), QDate(2024, 3, 15));
        Pulsar(d, "Acepto");
    });
    ASSERT_TRUE(a.Dialogo(g));
    EXPECT_EQ(a.detalle, (k.detLin ? 1 : 0) + (k.infAlb ? 2 : 0));
    EXPECT_FALSE(a.unoAUno);
}

INSTANTIATE_TEST_SUITE_P(Valores, DetalleInicial,
                         ::testing::Values(CasoDetalle{1, false, true}, CasoDetalle{2, true, false}, CasoDetalle{3, true, true},
                                           CasoDetalle{0, true, true}, CasoDetalle{9, true, true}));

TEST_F(GeneFactTest, AcceptingWritesBackWhatTheUserChose)
{
    GeneFact g;
    Argumentos a;  // line detail 1: only DetLin checked
    contestador.AlDialogo([&](QDialog* d) {
        auto* serie = Hijo<QLineEdit>(d, "txSerie");
        serie->setFocus();
        // The focus arrives once the dialog is active, which a busy machine may delay.
        EXPECT_TRUE(QTest::qWaitFor([&] { return serie->selectedText() == QStringLiteral("3"); }, 2000));  // the whole text, ready to type over
        QTest::keyClicks(serie, QStringLiteral("1a2-,."));
        EXPECT_EQ(serie->text(), QStringLiteral("12"));
        Hijo<QDateEdit>(d, "pkFecha")->setDate(QDate(2024, 4, 1));
        Pulsar(d, "var2uno");
        // Clearing the only checked box checks the other one.
        Pulsar(d, "DetLin");
        EXPECT_FALSE(Hijo<QCheckBox>(d, "DetLin")->isChecked());
        EXPECT_TRUE(Hijo<QCheckBox>(d, "InfAlb")->isChecked());
        Pulsar(d, "InfAlb");
        EXPECT_TRUE(Hijo<QCheckBox>(d, "DetLin")->isChecked());
        EXPECT_FALSE(Hijo<QCheckBox>(d, "InfAlb")->isChecked());
        Pulsar(d, "InfAlb");  // both checked now
        Pulsar(d, "DetLin");
        Pulsar(d, "chkImprimir");
        Pulsar(d, "Acepto");
    });
    ASSERT_TRUE(a.Dialogo(g));
    EXPECT_EQ(a.serie, 12);
    EXPECT_EQ(a.fecha, QDate(2024, 4, 1));
    EXPECT_EQ(a.detalle, 2);
    EXPECT_FALSE(a.unoAUno);
    EXPECT_TRUE(a.imprimir);
    EXPECT_EQ(a.cuenta, 5);

    // A long series stops at the largest one instead of overflowing.
    GeneFact otro;
    contestador.AlDialogo([&](QDialog* d) {
        auto* serie = Hijo<QLineEdit>(d, "txSerie");
        serie->clear();
        QTest::keyClicks(serie, QStringLiteral("9999999"));
        EXPECT_EQ(serie->text(), QStringLiteral("99999"));
        Pulsar(d, "Acepto");
    });
    ASSERT_TRUE(a.Dialogo(otro));
    EXPECT_EQ(a.serie, 32767);
}

TEST_F(GeneFactTest, CancellingLeavesEveryArgumentAsItWas)
{
    for (const bool conEscape : {false, true}) {
        GeneFact g;
        Argumentos a;
        const Argumentos antes = a;
        contestador.AlDialogo([&](QDialog* d) {
            QTest::keyClicks(Hijo<QLineEdit>(d, "txSerie"), QStringLiteral("7"));
            Hijo<QDateEdit>(d, "pkFecha")->setDate(QDate(2025, 1, 1));
            Pulsar(d, "var2uno");
            Pulsar(d, "InfAlb");
            Pulsar(d, "chkImprimir");
            if (conEscape)
                QTest::keyClick(d, Qt::Key_Escape);
            else
                Pulsar(d, "Cancelo");
        });
        EXPECT_FALSE(a.Dialogo(g));
        EXPECT_EQ(a, antes);
    }
}

}  // namespace
