#include "campofecha.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

struct Tecleo {
    const char* nombre;
    bool haciaAtras;  // the field is reached with Shift+Tab, the caret on the year
    const char* teclas;
    QDate esperada;
};

class CampoFechaTest : public ::testing::TestWithParam<Tecleo> {
protected:
    void SetUp() override
    {
        auto* capa = new QVBoxLayout(&ventana);
        antes = new QLineEdit;
        campo = new CampoFecha(QDate(2026, 12, 7));
        despues = new QLineEdit;
        capa->addWidget(antes);
        capa->addWidget(campo);
        capa->addWidget(despues);
        ventana.show();
        QApplication::setActiveWindow(&ventana);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&ventana));
    }
    QWidget* foco() { return QApplication::focusWidget(); }

    QWidget ventana;
    QLineEdit* antes = nullptr;
    CampoFecha* campo = nullptr;
    QLineEdit* despues = nullptr;
};

TEST_P(CampoFechaTest, TypedDatesAreTakenAndNoHalfTypedYearShows)
{
    const Tecleo& t = GetParam();
    QLineEdit* desde = t.haciaAtras ? despues : antes;
    desde->setFocus();
    QTest::keyClick(desde, Qt::Key_Tab, t.haciaAtras ? Qt::ShiftModifier : Qt::NoModifier);
    ASSERT_EQ(foco(), campo);
    for (const QChar c : QString::fromLatin1(t.teclas)) {
        QTest::keyClick(foco(), c.toLatin1());
        EXPECT_FALSE(campo->text().contains(QStringLiteral("/0000"))) << campo->text().toStdString();
        EXPECT_TRUE(QDate::fromString(campo->text(), QStringLiteral("dd/MM/yyyy")).isValid()) << campo->text().toStdString();
    }
    EXPECT_EQ(campo->date(), t.esperada);
    // Shift+Tab walks back through the parts and out, showing the same whole date.
    for (int i = 0; i < 4 && foco() == campo; ++i) {
        QTest::keyClick(foco(), Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(campo->text(), t.esperada.toString(QStringLiteral("dd/MM/yyyy")));
    }
    EXPECT_EQ(foco(), antes);
}

INSTANTIATE_TEST_SUITE_P(
    Formas, CampoFechaTest,
    ::testing::Values(Tecleo{"WithSlashes", false, "03/02/2025", QDate(2025, 2, 3)},
                      Tecleo{"Short", false, "7/3/26", QDate(2026, 3, 7)},
                      Tecleo{"DigitsOnly", false, "03022025", QDate(2025, 2, 3)},
                      Tecleo{"WithDashes", false, "3-2-2025", QDate(2025, 2, 3)},
                      Tecleo{"DayOnly", false, "15", QDate(2026, 12, 15)},
                      Tecleo{"DayAndMonth", false, "1/6", QDate(2026, 6, 1)},
                      Tecleo{"PastTheMonthsEnd", false, "31/02/2025", QDate(2025, 2, 28)},
                      Tecleo{"YearAfterShiftTab", true, "2027", QDate(2027, 12, 7)},
                      Tecleo{"OneYearDigitAfterShiftTab", true, "0", QDate(2026, 12, 7)},
                      Tecleo{"NotADay", false, "45", QDate(2026, 12, 4)}),
    [](const ::testing::TestParamInfo<Tecleo>& i) { return std::string(i.param.nombre); });

TEST(CampoFecha, ComposesTheTypedPartsOnTheDateShown)
{
    const QDate base(2026, 12, 7);
    EXPECT_EQ(CampoFecha::Componer(base, {}, {}, {}), base);
    EXPECT_EQ(CampoFecha::Componer(base, QStringLiteral("29"), QStringLiteral("2"), QStringLiteral("2024")), QDate(2024, 2, 29));
    EXPECT_EQ(CampoFecha::Componer(base, QStringLiteral("29"), QStringLiteral("2"), QStringLiteral("25")), QDate(2025, 2, 28));
    EXPECT_FALSE(CampoFecha::Componer(base, QStringLiteral("0"), {}, {}).isValid());
    EXPECT_FALSE(CampoFecha::Componer(base, {}, QStringLiteral("13"), {}).isValid());
    EXPECT_FALSE(CampoFecha::Componer(base, {}, {}, QStringLiteral("0000")).isValid());
}

}  // namespace
