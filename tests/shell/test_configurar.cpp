#include "comun_shell.h"

#include "configurar.h"
#include "formato.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
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

TEST_F(DialogoConfigurar, ShowsTheWorkingGroup)
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
}

TEST_F(DialogoConfigurar, UnknownGroupIsReset)
{
    Global::Grupo = 77;
    Configurar d;
    EXPECT_EQ(d.LstGpos->currentIndex(), -1);
    EXPECT_EQ(Global::Grupo, 0);
    EXPECT_EQ(Global::Seccion, 0);
}

TEST_F(DialogoConfigurar, SurchargeBoxesReadTheUsersNumbers)
{
    Configurar d;
    d.show();
    QLineEdit* caja = d.txREq[3];
    caja->setFocus();
    caja->clear();
    QTest::keyClicks(caja, QStringLiteral("2,5"));
    EXPECT_EQ(caja->text(), QStringLiteral("2,5"));
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[3], 2.5f);
    QTest::keyClicks(caja, QStringLiteral("a-"));  // letters and signs are dropped
    EXPECT_EQ(caja->text(), QStringLiteral("2,5"));
    caja->clear();
    EXPECT_FLOAT_EQ(Global::RecargoEquivalencia[3], 0.0f);
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

TEST_F(DialogoConfigurar, GroupWithoutWarehouseIsRefused)
{
    Configurar d;
    d.show();
    d.LstGpos->setCurrentIndex(2);
    emit d.LstGpos->activated(2);  // "OBRADOR" has no warehouse
    EXPECT_EQ(Global::Grupo, 3);
    EXPECT_EQ(Global::Almacen, 0);
    QString mensaje;
    CuandoAparezcaModal([&](QWidget* w) {
        if (auto* caja = qobject_cast<QMessageBox*>(w)) {
            mensaje = caja->text();
            caja->accept();
        }
    });
    d.Acepto->click();
    EXPECT_EQ(mensaje, QStringLiteral("Si la versión KV740 es 3 o superior, el grupo debe tener un almacén definido"));
    EXPECT_FALSE(d.aceptado());
    EXPECT_TRUE(d.isVisible());
}

TEST_F(DialogoConfigurar, AcceptWritesTheSettings)
{
    Configurar d;
    d.show();
    d.opHta2->click();
    d.opDesgl->click();
    d.txNombreEmpresa->setText(QStringLiteral("ULTRAMARINOS PEPA"));
    d.Acepto->click();
    EXPECT_TRUE(d.aceptado());
    EXPECT_EQ(Global::Precio, 2);
    EXPECT_TRUE(Global::IVADesglosado);
    Global::Reiniciar();
    LeerConfiguracion();
    EXPECT_EQ(Global::NombreEmpresa, QStringLiteral("ULTRAMARINOS PEPA"));
    EXPECT_EQ(Global::Precio, 2);
    EXPECT_EQ(Global::Grupo, 1);
}

TEST_F(DialogoConfigurar, ChangingToAFolderWithoutKv740ClosesTheStore)
{
    Configurar::elegirCarpeta = [this](QWidget*, const QString&, const QString&) { return programa.path(); };
    Configurar d;
    d.show();
    d.CambHome->click();
    EXPECT_EQ(Global::HomeDir, programa.path());
    EXPECT_FALSE(Global::BD->Abierta());
    EXPECT_EQ(d.LstGpos->count(), 0);
    d.Acepto->click();  // no database: nothing happens
    EXPECT_FALSE(d.aceptado());
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(QFile::exists(rutaIni()));

    Configurar::elegirCarpeta = [](QWidget*, const QString&, const QString&) { return QString(); };
    d.CambHome->click();  // cancelled: nothing changes
    EXPECT_EQ(Global::HomeDir, programa.path());
}

TEST_F(DialogoConfigurar, RemembersWhereItWasInTwips)
{
    Global::TwipsPorPixelX = Global::TwipsPorPixelY = 15;
    {
        Configurar d;
        d.show();
        d.setGeometry(120, 80, 800, 650);
        d.Cancelo->click();
    }
    const auto guardada = LeerPosicionVentana(QStringLiteral("Configurar"));
    ASSERT_TRUE(guardada.has_value());
    EXPECT_EQ((*guardada)[2], 800 * 15);
    EXPECT_EQ((*guardada)[3], 650 * 15);
    Configurar otra;
    EXPECT_EQ(otra.size(), QSize(800, 650));
}

}  // namespace
