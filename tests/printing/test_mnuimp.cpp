#include "contestador.h"
#include "impresoraactual.h"
#include "mnuimp.h"
#include "plantillasprueba.h"
#include "printxt.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

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

// The option buttons' captions, by control name.
void Textos(QDialog* d, std::initializer_list<std::pair<const char*, const char*>> textos)
{
    for (const auto& [nombre, texto] : textos)
        EXPECT_EQ(Hijo<QRadioButton>(d, nombre)->text(), QString::fromUtf8(texto)) << nombre;
}

// As a user would: on the button's mark, once the dialog has settled (an option button takes
// clicks on its mark and caption only, not on the empty width to its right).
void Pulsar(QDialog* d, const char* nombre)
{
    d->layout()->activate();
    QApplication::processEvents();
    QAbstractButton* b = Hijo<QAbstractButton>(d, nombre);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(std::min(8, b->width() / 2), b->height() / 2));
}

class DialogosImprimir : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_anterior = FijarFuenteImpresoras([this] { return m_sistema; });
        m_sistema = {{QStringLiteral("Oficina"), QStringLiteral("PDF"), QStringLiteral("Etiquetas")}, QStringLiteral("PDF")};
        FijarImpresoraActual(QString());
    }
    void TearDown() override
    {
        FijarFuenteImpresoras(m_anterior);
        FijarImpresoraActual(QString());
    }

    ImpresorasSistema m_sistema;
    FuenteImpresoras m_anterior;
    Contestador contestador;
};

TEST_F(DialogosImprimir, InvoiceDialogShowsItsControlsAndTheFrameOnlyForAListing)
{
    MnuImpF dlg;
    QStringList vistos;
    contestador.AlDialogo([&](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("Imprimir"));
        Textos(d, {{"opUna", "Imprimir UNA factura"}, {"opLis", "Listado de Facturación"}, {"opMes", "Agrupado por meses"},
                   {"opCli", "Agrupado por clientes"}});
        EXPECT_EQ(Hijo<QPushButton>(d, "Aceptar")->toolTip(), QStringLiteral("Guardar"));
        EXPECT_EQ(Hijo<QPushButton>(d, "Cancelar")->toolTip(), QStringLiteral("Abandonar cambios"));
        auto* lst = Hijo<QComboBox>(d, "lstPrn");
        for (int i = 0; i < lst->count(); ++i)
            vistos << lst->itemText(i);
        EXPECT_EQ(lst->currentText(), QStringLiteral("PDF"));  // the current printer: the default one
        auto* marco = Hijo<QGroupBox>(d, "frLista");
        EXPECT_FALSE(marco->isVisible());
        Pulsar(d, "opLis");
        EXPECT_TRUE(marco->isVisible());
        Pulsar(d, "opUna");
        EXPECT_FALSE(marco->isVisible());
        Pulsar(d, "Cancelar");
    });
    EXPECT_EQ(dlg.Accion(), 0);
    EXPECT_EQ(vistos, m_sistema.nombres);  // the system's order
    EXPECT_EQ(ImpresoraActual(), QString());

    MnuImpA alb;
    contestador.AlDialogo([&](QDialog* d) {
        Textos(d, {{"opUno", "Imprimir UN albarán"}, {"opLis", "Listado de Albaranes"}, {"opTodo", "Todos"},
                   {"opPend", "Pendientes de liquidar"}, {"opLiqu", "Liquidados"}});
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_EQ(alb.Accion(), 0);
}

struct CasoRespuesta {
    bool facturas;
    std::vector<const char*> pulsar;
    int impresora;
    qint16 respuesta;
};

class Respuestas : public DialogosImprimir, public ::testing::WithParamInterface<CasoRespuesta> {};

TEST_P(Respuestas, AcceptingGivesTheOptionsCodeAndMakesThePrinterCurrent)
{
    const CasoRespuesta k = GetParam();
    std::unique_ptr<MnuImp> dlg = k.facturas ? std::unique_ptr<MnuImp>(new MnuImpF) : std::unique_ptr<MnuImp>(new MnuImpA);
    contestador.AlDialogo([&](QDialog* d) {
        for (const char* b : k.pulsar)
            Pulsar(d, b);
        Hijo<QComboBox>(d, "lstPrn")->setCurrentIndex(k.impresora);
        Pulsar(d, "Aceptar");
    });
    EXPECT_EQ(dlg->Accion(), k.respuesta);
    EXPECT_EQ(ImpresoraActual(), m_sistema.nombres[k.impresora]);

    // The next time it opens on the printer chosen now.
    contestador.AlDialogo([&](QDialog* d) {
        EXPECT_EQ(Hijo<QComboBox>(d, "lstPrn")->currentIndex(), k.impresora);
        Pulsar(d, "Cancelar");
    });
    EXPECT_EQ(dlg->Accion(), 0);
    EXPECT_EQ(ImpresoraActual(), m_sistema.nombres[k.impresora]);
}

INSTANTIATE_TEST_SUITE_P(
    Codigos, Respuestas,
    ::testing::Values(CasoRespuesta{true, {}, 0, MnuImpF::UnaFactura}, CasoRespuesta{true, {"opLis", "opCli"}, 2, MnuImpF::PorClientes},
                      CasoRespuesta{true, {"opLis", "opMes"}, 1, MnuImpF::PorMeses},
                      CasoRespuesta{true, {"opLis", "opMes", "opUna"}, 1, MnuImpF::UnaFactura},
                      CasoRespuesta{true, {"opLis"}, 0, MnuImpF::PorMeses}, CasoRespuesta{false, {"opUno"}, 2, MnuImpA::UnAlbaran},
                      CasoRespuesta{false, {"opLis", "opTodo"}, 0, MnuImpA::Todos},
                      CasoRespuesta{false, {"opLis", "opPend"}, 1, MnuImpA::Pendientes},
                      CasoRespuesta{false, {"opLis", "opLiqu"}, 2, MnuImpA::Liquidados},
                      CasoRespuesta{false, {"opLis"}, 1, MnuImpA::Todos}),
    [](const ::testing::TestParamInfo<CasoRespuesta>& i) {
        std::string n = i.param.facturas ? "MnuImpF" : "MnuImpA";
        for (const char* b : i.param.pulsar)
            n += std::string("_") + b;
        return n + "_" + std::to_string(i.index);
    });

TEST_F(DialogosImprimir, WithoutAPrinterSelectedAcceptSaysWhyAndOnlyCancelCloses)
{
    for (const ImpresorasSistema& sistema :
         {ImpresorasSistema{}, ImpresorasSistema{{QStringLiteral("Oficina")}, QStringLiteral("Otra")}}) {
        m_sistema = sistema;
        FijarImpresoraActual(QString());
        Avisos avisos;
        MnuImpA dlg;
        bool seguiaAbierto = false;
        contestador.AlDialogo([&](QDialog* d) {
            EXPECT_EQ(Hijo<QComboBox>(d, "lstPrn")->currentIndex(), -1);
            EXPECT_EQ(Hijo<QComboBox>(d, "lstPrn")->count(), sistema.nombres.size());
            Pulsar(d, "opUno");
            Pulsar(d, "Aceptar");
            QTest::keyClick(d, Qt::Key_Return);
            QApplication::processEvents();
            seguiaAbierto = d->isVisible();
            Pulsar(d, "Cancelar");
        });
        EXPECT_EQ(dlg.Accion(), 0);
        EXPECT_TRUE(seguiaAbierto);
        EXPECT_EQ(ImpresoraActual(), QString());
        // Why: no printer at all, or none chosen where the system has no default.
        ASSERT_FALSE(avisos.textos.isEmpty());
        EXPECT_TRUE(avisos.textos[0].contains(sistema.nombres.isEmpty() ? QStringLiteral("no hay ninguna impresora instalada")
                                                                        : QStringLiteral("Elija una")))
            << avisos.textos[0].toStdString();
    }

    // A current printer no longer installed is not selected, nor forgotten.
    m_sistema = {{QStringLiteral("Oficina"), QStringLiteral("PDF")}, QStringLiteral("PDF")};
    FijarImpresoraActual(QStringLiteral("Retirada"));
    MnuImpF dlg;
    contestador.AlDialogo([&](QDialog* d) {
        EXPECT_EQ(Hijo<QComboBox>(d, "lstPrn")->currentIndex(), -1);
        d->close();  // the title bar's close button
    });
    EXPECT_EQ(dlg.Accion(), 0);
    EXPECT_EQ(ImpresoraActual(), QStringLiteral("Retirada"));
}

}  // namespace

