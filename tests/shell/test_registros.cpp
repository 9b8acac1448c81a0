// The invoice records from the command line, on the real program and a demo made by kv740sim
// with the mode on.

#include "comun_shell.h"

#include "archivoini.h"
#include "basedatos.h"
#include "factura.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Salida {
    int codigo = -1;
    QString texto;
};

class RegistrosDesdeLaLinea : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe = CopiaDelPrograma(programa, home.path());
        const Salida sim = correr(QStringLiteral(KV740SIM),
                                  {QStringLiteral("crear"), home.path(), QStringLiteral("--verifactu"), QStringLiteral("B12345674"),
                                   QStringLiteral("CARNES QUENZA SL")});
        ASSERT_EQ(sim.codigo, 0) << sim.texto.toStdString();
        ruta = ArchivoIni(QDir(home.path()).filePath(QStringLiteral("KV740.INI"))).leer(QStringLiteral("BaseDatos"));
    }
    Salida correr(const QString& ejecutable, const QStringList& argumentos)
    {
        QProcess p;
        p.start(ejecutable, argumentos);
        p.waitForFinished(60000);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
    }
    Salida quenza(const QStringList& argumentos) { return correr(exe, argumentos); }
    void facturar(BaseDatos& bd)
    {
        Factura f(bd);
        ASSERT_TRUE(f.WhoAmI());
        f.Fecha = QDate(2027, 1, 4);
        ASSERT_TRUE(f.SetCliente(bd.ListaClientes().front().Codigo.aEntero()));
        LineaFactura* l = f.NuevaLinea();
        l->FijarConcepto(QStringLiteral("Género"));
        l->FijarImporte(100.0);
        l->FijarpIVA(10);
        ASSERT_TRUE(f.Update()) << f.UltimoError().toStdString();
    }

    QTemporaryDir programa, home;
    QString exe, ruta;
};

TEST_F(RegistrosDesdeLaLinea, TheCheckSaysWhetherTheChainHoldsAndTheExportWritesThePeriod)
{
    {
        BaseDatos bd(ruta);
        ASSERT_TRUE(bd.LeerVerifactu().Activo);
        EXPECT_EQ(bd.EmisorFacturas(), std::make_pair(QStringLiteral("B12345674"), QStringLiteral("CARNES QUENZA SL")));
        facturar(bd);
        facturar(bd);
    }
    const Salida bien = quenza({QStringLiteral("--verificar-registros")});
    EXPECT_EQ(bien.codigo, 0) << bien.texto.toStdString();
    EXPECT_TRUE(bien.texto.contains(QStringLiteral("La cadena de 2 registros de facturación está íntegra"))) << bien.texto.toStdString();

    const QString archivo = home.filePath(QStringLiteral("periodo.xml"));
    const QString hoy = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    const Salida exportado = quenza({QStringLiteral("--exportar-registros"), hoy, hoy, archivo});
    EXPECT_EQ(exportado.codigo, 0) << exportado.texto.toStdString();
    QFile f(archivo);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("<sf:RegistroAlta>"), 2);
    EXPECT_EQ(quenza({QStringLiteral("--exportar-registros"), QStringLiteral("31/02/2027"), hoy, archivo}).codigo, 2);

    {
        motor::BaseDeDatos m(ruta);
        m.eliminarDisparador(QStringLiteral("RegistroFacturacion_NoCambiar"), QStringLiteral("RegistroFacturacion"));
        m.ejecutarNativo(QStringLiteral("UPDATE RegistroFacturacion SET FechaExpedicionFactura='05-01-2027' WHERE Orden=2"));
    }
    const Salida mal = quenza({QStringLiteral("--verificar-registros")});
    EXPECT_EQ(mal.codigo, 1) << mal.texto.toStdString();
    EXPECT_TRUE(mal.texto.contains(QStringLiteral("Registro 2 (factura A-"))) << mal.texto.toStdString();
    EXPECT_TRUE(mal.texto.contains(QStringLiteral("NO está íntegra"))) << mal.texto.toStdString();
}

// Without a window nobody is asked for the server's password: the command ends saying where
// to put it.
TEST(OrdenSinVentana, AServerPasswordNobodyGaveIsToldWhereToPut)
{
    if (!ServidorConContrasena())
        GTEST_SKIP() << "sin servidor PostgreSQL de pruebas con contraseña (pg_virtualenv da una en PGPASSWORD)";
    BaseDePrueba base;
    QTemporaryDir programa;
    const QString exe = CopiaDelPrograma(programa, base.dir());
    QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
    entorno.remove(QStringLiteral("PGPASSWORD"));
    entorno.insert(QStringLiteral("PGPASSFILE"), programa.filePath(QStringLiteral("pgpass")));
    QProcess p;
    p.setProcessEnvironment(entorno);
    p.start(exe, {QStringLiteral("--verificar-registros")});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString dice = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(dice.contains(QStringLiteral("pide una contraseña")) && dice.contains(QStringLiteral("PGPASSWORD"))) << qPrintable(dice);
}

}  // namespace
