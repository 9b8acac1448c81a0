// Enter and Escape in the dialogs and editors, and dates typed into their date fields.

#include "albaran.h"
#include "editorcelda.h"
#include "editores_prueba.h"
#include "filtro.h"
#include "rejilla.h"
#include "unalbaran.h"
#include "uncliente.h"

#include <QDateEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QRadioButton>
#include <QSignalSpy>

namespace {

class Teclado : public EditorDePrueba {
protected:
    // Runs `accion` on the filter dialog once it shows, and answers what Editar answered.
    bool filtrar(FiltroLista& filtro, std::optional<qint16>* serie, std::function<void(QDialog*)> accion)
    {
        DialogoFiltro d(area.get());
        QTimer::singleShot(20, [&] {
            ASSERT_TRUE(d.isVisible());
            EXPECT_TRUE(d.findChild<QPushButton*>(QStringLiteral("Acepta"))->isDefault());
            accion(&d);
        });
        return d.Editar(filtro, {}, serie);
    }
    qint32 notaGuardada()
    {
        Albaran a(*Global::BD);
        EXPECT_TRUE(a.WhoAmI());
        a.SetCliente(9012);
        a.NuevaLinea()->SetCodigo(990001);
        EXPECT_TRUE(a.Update());
        return *a.Numero;
    }
};

TEST_F(Teclado, TheFilterAcceptsWithEnterFromAnyFieldAndCancelsWithEscape)
{
    FiltroLista filtro{std::nullopt, QDate(2026, 12, 7), QDate(2026, 12, 7)};
    std::optional<qint16> serie = 1;
    // A day typed into its field and Enter there: accepted with that day.
    EXPECT_TRUE(filtrar(filtro, &serie, [&](QDialog* d) {
        auto* dia = d->findChild<QDateEdit*>(QStringLiteral("fchUndia"));
        dia->setFocus();
        QTest::keyClicks(dia, QStringLiteral("3/2/25"));
        QTest::keyClick(dia, Qt::Key_Return);
    }));
    EXPECT_EQ(filtro.desde, QDate(2025, 2, 3));
    EXPECT_EQ(filtro.hasta, QDate(2025, 2, 3));

    EXPECT_TRUE(filtrar(filtro, &serie, [&](QDialog* d) {
        auto* txSerie = d->findChild<QLineEdit*>(QStringLiteral("txSerie"));
        txSerie->setFocus();
        txSerie->selectAll();
        QTest::keyClicks(txSerie, QStringLiteral("4"));
        QTest::keyClick(txSerie, Qt::Key_Enter, Qt::KeypadModifier);
    }));
    EXPECT_EQ(serie, std::optional<qint16>(4));

    const FiltroLista antes = filtro;
    EXPECT_FALSE(filtrar(filtro, &serie, [&](QDialog* d) {
        d->findChild<QRadioButton*>(QStringLiteral("opTodas"))->click();
        QTest::keyClick(d->focusWidget(), Qt::Key_Escape);
    }));
    EXPECT_EQ(filtro, antes);
}

TEST_F(Teclado, TheCustomerEditorSavesWithEnterAndCancelsWithEscape)
{
    auto* e = new UnCliente;
    ASSERT_TRUE(e->Editar());
    EXPECT_TRUE(e->Acepta->isDefault());
    const QString codigo = e->txCodigo->text();
    QTest::keyClicks(e->txNombre, QStringLiteral("TECLADO PRUEBA"));
    QTest::keyClick(e->txNombre, Qt::Key_Return);
    QTest::qWait(20);
    EXPECT_EQ(uno(QStringLiteral("select count(*) from Cliente where Codigo=%1 and Nombre='TECLADO PRUEBA'").arg(codigo)), 1);
    EXPECT_TRUE(area->subWindowList().isEmpty());

    QPointer<UnCliente> otro = new UnCliente;
    ASSERT_TRUE(otro->Editar(9012));
    QTest::keyClicks(otro->txTelefono1, QStringLiteral("961000000"));
    Mensajes mensajes;
    mensajes.Responder(QMessageBox::Cancel);
    QTest::keyClick(otro->txTelefono1, Qt::Key_Escape);
    QTest::qWait(60);
    EXPECT_EQ(mensajes.textos, QStringList{QStringLiteral("Abandonar los cambios realizados: ¿SEGURO?")});
    ASSERT_TRUE(otro);
    // Enter on the focused "Cancelar edición" is that button, not the default one.
    otro->Cancela->setFocus();
    QTest::keyClick(otro->Cancela, Qt::Key_Return);
    QTest::qWait(60);
    asentar();
    EXPECT_FALSE(otro);
    EXPECT_EQ(mensajes.textos.size(), 2);
    EXPECT_EQ(m().valorUnico(QStringLiteral("select Telefono1 from Cliente where Codigo=9012")).aTexto(), QString());
}

TEST_F(Teclado, InTheNoteEditorEscapeLeavesTheCellThenCancelsAndEnterKeepsItsMeaning)
{
    const qint32 numero = notaGuardada();
    QPointer<UnAlbaran> w = UnAlbaran::Editar(numero);
    ASSERT_TRUE(w);
    QSignalSpy abandono(w.data(), &UnAlbaran::Abort);
    auto* txEd = hijo<EditorCelda>(w, "txEd");
    auto* grd = hijo<Rejilla>(w, "Grd");
    ASSERT_EQ(foco(), txEd);
    teclas(QStringLiteral("4"));  // Bultos of line 1
    intro();
    EXPECT_EQ(grd->Col(), 1);  // Enter in a cell still moves on along the line
    EXPECT_TRUE(txEd->estaAbierto());

    tecla(Qt::Key_Escape);
    EXPECT_FALSE(txEd->estaAbierto());
    EXPECT_EQ(foco(), grd);
    intro();  // Enter on the grid opens the cell again
    EXPECT_TRUE(txEd->estaAbierto());
    tecla(Qt::Key_Escape);

    Mensajes mensajes;
    mensajes.Responder(QMessageBox::Cancel);
    tecla(Qt::Key_Escape);
    QTest::qWait(60);
    EXPECT_EQ(mensajes.textos, QStringList{QStringLiteral("Abandonar los cambios realizados: ¿SEGURO?")});
    ASSERT_TRUE(w);
    // From a header field, Escape is "Cancelar" at once.
    hijo<QLineEdit>(w, "txDesctoPP")->setFocus();
    tecla(Qt::Key_Escape);
    QTest::qWait(60);
    asentar();
    EXPECT_FALSE(w);
    EXPECT_EQ(abandono.count(), 1);
    EXPECT_EQ(uno(QStringLiteral("select Bultos from AlbaranVentaDetalle where Numero=%1").arg(numero)), 0);
}

// The field's own typing rules are the date field's (widgets); here, that the note takes the date.
TEST_F(Teclado, ADateTypedInTheNoteEditorIsTheNotesDate)
{
    QPointer<UnAlbaran> w = UnAlbaran::Editar(notaGuardada());
    ASSERT_TRUE(w);
    hijo<QLineEdit>(w, "txNumero")->setFocus();
    tecla(Qt::Key_Tab);
    ASSERT_EQ(foco(), hijo<QDateEdit>(w, "pkFecha"));
    teclas(QStringLiteral("15/01/2025"));
    intro();
    EXPECT_EQ(w->Documento().Fecha, std::optional<QDate>(QDate(2025, 1, 15)));
}

}  // namespace
