#include "brwonlin.h"
#include "contestador.h"
#include "entorno.h"
#include "global.h"
#include "listafilas.h"
#include "navegador.h"
#include "servidorpropio.h"
#include "ventanas.h"

#include <QElapsedTimer>
#include <QMdiArea>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The ticket list on a server that goes down while it is open.
class BrwOnLinCaida : public ::testing::Test {
protected:
    void SetUp() override
    {
        AplicacionDePrueba();
        propia = std::make_unique<BaseEnServidorPropio>();
        if (!propia->motivo.isEmpty())
            GTEST_SKIP() << propia->motivo.toStdString();
        servidor = propia->servidor.get();
        conexion = propia->conexion;
        base = propia->base.get();
        Global::Reiniciar();
        Global::DirectorioPrograma = programa.path();
        Global::BD = std::make_unique<BaseDatos>(base->ruta);
        ASSERT_TRUE(Global::BD->Abierta());
        Global::BD->CrearTablasNuevas();
        Global::BD->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        Global::BD->Motor()->ejecutarNativo(QStringLiteral("delete from Transacs"));
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

    // A closed ticket as the scale line writes it, from a connection of the line's own.
    void ticket(qint32 doc)
    {
        motor::BaseDeDatos linea(conexion);
        const QString f = QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(" 09:30:00");
        const QString sql = QStringLiteral("INSERT INTO Transacs (docID, tagID, numTK, balan, opera, fecha, tipoT, impor, linea, cdPLU, "
                                           "canti, preci) VALUES (?, 0, ?, 1, 4, ?, ?, ?, ?, ?, ?, ?)");
        linea.ejecutarNativo(sql, {doc, doc, f, 1, Valor(), 1, 1, 500, 2500});
        linea.ejecutarNativo(sql, {doc, doc, f, 15, 1250, 2, Valor(), Valor(), Valor()});
    }
    // Lets the events run until `condicion` holds, at most `ms`.
    static bool hasta(const std::function<bool()>& condicion, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!condicion() && t.elapsed() < ms)
            QTest::qWait(10);
        return condicion();
    }

    std::unique_ptr<BaseEnServidorPropio> propia;
    ServidorPropio* servidor = nullptr;
    QString conexion;
    QTemporaryDir programa;
    BaseDePrueba* base = nullptr;
    std::unique_ptr<QMdiArea> area;
};

TEST_F(BrwOnLinCaida, KeepsRefreshingWhileTheServerIsDownAndShowsNewTicketsOnceItIsBack)
{
    ticket(1);
    Contestador contestador(QMessageBox::Ok);
    BrwOnLin* v = BrwOnLin::Abrir();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(v));
    ASSERT_EQ(v->Grd->Rows(), 2);
    // Refreshes often, for a short test; the refresh itself is the window's.
    v->Tim->setInterval(50);
    int listados = 1;

    // How long the window stops answering at most: the gap between two turns of a fast timer.
    QElapsedTimer reloj;
    reloj.start();
    qint64 ultimo = 0, hueco = 0;
    QTimer pulso;
    pulso.setInterval(20);
    QObject::connect(&pulso, &QTimer::timeout, [&] {
        hueco = std::max(hueco, reloj.elapsed() - ultimo);
        ultimo = reloj.elapsed();
    });

    for (const char* modo : {"fast", "immediate"}) {
        SCOPED_TRACE(modo);
        ASSERT_TRUE(servidor->detener(QString::fromLatin1(modo)));
        int ticks = 0;
        const auto cuenta = QObject::connect(v->Tim, &QTimer::timeout, [&ticks] { ++ticks; });
        ultimo = reloj.elapsed();
        hueco = 0;
        pulso.start();
        // Several refreshes with the server down, spacing out while it stays away.
        EXPECT_TRUE(hasta([&] { return ticks >= 6; }, 30000)) << ticks << " refreshes";
        EXPECT_GT(v->Tim->interval(), 50);
        EXPECT_LE(v->Tim->interval(), 50 * 20);
        pulso.stop();
        QObject::disconnect(cuenta);
        EXPECT_LE(contestador.textos.size(), 1) << contestador.textos.join(QLatin1Char('\n')).toStdString();
        for (const QString& t : contestador.textos)
            EXPECT_FALSE(t.contains(QLatin1String("server")) || t.contains(QLatin1String("connection"))) << t.toStdString();
        EXPECT_LT(hueco, 1500);
        EXPECT_TRUE(v->Tim->isActive());
        EXPECT_EQ(v->Grd->Rows(), 1 + listados);  // what was listed stays listed
        const QString titulo = v->windowTitle();
        EXPECT_TRUE(titulo.contains(QStringLiteral("sin conexión"))) << titulo.toStdString();

        contestador.Olvidar();
        ASSERT_TRUE(servidor->iniciar());
        ticket(++listados);
        EXPECT_TRUE(hasta([&] { return v->Grd->Rows() == 1 + listados; }, 30000)) << v->Grd->Rows();
        EXPECT_TRUE(contestador.textos.isEmpty()) << contestador.textos.join(QLatin1Char('\n')).toStdString();
        EXPECT_FALSE(v->windowTitle().contains(QStringLiteral("sin conexión")));
        EXPECT_EQ(v->Tim->interval(), 50);
        contestador.Olvidar();
    }
    v->close();
}

}  // namespace
