// What a host or Qt Designer sees: properties by name, their defaults and
// persistence, and the control's fixed size.

#include "Falsos.h"

#include <vantel/AlmacenPropiedades.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using Vantel::CommSocket;

namespace {

class AlmacenGrabador : public Vantel::AlmacenPropiedades
{
public:
    QVariant leer(const QString &nombre, const QVariant &porDefecto) const override
    {
        leidos << nombre;
        return valores.value(nombre, porDefecto);
    }
    void escribir(const QString &nombre, const QVariant &valor, const QVariant &) override
    {
        escritos << nombre;
        valores.insert(nombre, valor);
    }
    mutable QStringList leidos;
    QStringList escritos;
    QVariantMap valores;
};

TEST(Propiedades, DefaultsAreReadableByNameAndPersistedInOrder)
{
    CommSocket socket;
    const QList<std::pair<const char *, QVariant>> porDefecto = {
        {"Canal", 1},     {"Settings", "9600,N,8,1"},
        {"Inicializacion", "AT&FE0V0Q0L3||AT&FE0V0Q0L3|0[Cr]|AT&C1||AT&D2||AT&A0|"},
        {"Dial", "ATDT"}, {"NumTelefono", ""}, {"Intentos", 4},  {"TmOutMdm", 1000}, {"TmOutCnx", 40},
        {"TmOutHang", 10}, {"MskDTRRTS", 1},   {"Host", ""},     {"Port", 0},        {"Dispositivo", ""}};
    QStringList orden;
    for (const auto &[nombre, valor] : porDefecto) {
        EXPECT_EQ(socket.property(nombre).toString(), valor.toString()) << nombre;
        orden << QString::fromLatin1(nombre);
    }
    EXPECT_EQ(socket.property("Estado").value<CommSocket::sckEstado>(), CommSocket::sckEstado::sckCERRADO);
    EXPECT_EQ(socket.property("Error").value<CommSocket::sckError>(), CommSocket::sckError::sckOK);
    EXPECT_EQ(socket.nombreDispositivo(), QStringLiteral("/dev/ttyS0"));

    AlmacenGrabador almacen;
    socket.GuardarPropiedades(almacen);
    socket.LeerPropiedades(almacen);
    EXPECT_EQ(almacen.escritos, orden);
    EXPECT_EQ(almacen.leidos, orden);

    // Nothing stored means the default again.
    socket.setIntentos(9);
    socket.LeerPropiedades(AlmacenGrabador());
    EXPECT_EQ(socket.Intentos(), 4);
}

TEST(Propiedades, SurviveAnIniFileWrittenByUsOrByHand)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("host.ini"));
    {
        CommSocket socket;
        socket.setProperty("Settings", QStringLiteral("2400,E,7,2"));
        socket.setProperty("Inicializacion", QStringLiteral("ATZ|0[Cr]|ATX3|"));
        socket.setProperty("NumTelefono", QStringLiteral("0,912345678"));
        socket.setProperty("Port", 40001);
        QSettings ini(ruta, QSettings::IniFormat);
        Vantel::AlmacenQSettings almacen(ini, QStringLiteral("Balanza"));
        socket.GuardarPropiedades(almacen);
    }
    {
        QSettings ini(ruta, QSettings::IniFormat);
        Vantel::AlmacenQSettings almacen(ini, QStringLiteral("Balanza"));
        CommSocket leido;
        leido.LeerPropiedades(almacen);
        EXPECT_EQ(leido.Settings(), QStringLiteral("2400,E,7,2"));
        EXPECT_EQ(leido.Inicializacion(), QStringLiteral("ATZ|0[Cr]|ATX3|"));
        EXPECT_EQ(leido.NumTelefono(), QStringLiteral("0,912345678"));
        EXPECT_EQ(leido.Port(), 40001);
    }
    QFile fichero(ruta);
    ASSERT_TRUE(fichero.open(QIODevice::WriteOnly));
    fichero.write("[Balanza]\nSettings=4800,N,8,1\nIntentos=muchos\n");
    fichero.close();
    QSettings ini(ruta, QSettings::IniFormat);
    Vantel::AlmacenQSettings almacen(ini, QStringLiteral("Balanza"));
    CommSocket socket;
    socket.setIntentos(7);
    socket.LeerPropiedades(almacen);
    EXPECT_EQ(socket.Settings(), QStringLiteral("4800,N,8,1")); // an unquoted list to QSettings
    EXPECT_EQ(socket.Intentos(), 7);                             // not a number: left alone
}

TEST(Control, StaysThirtyTwoPixelsSquareAndHiddenInUse)
{
    QWidget ventana;
    auto *socket = new CommSocket(&ventana);
    (new QVBoxLayout(&ventana))->addWidget(socket);
    ventana.resize(400, 300);
    ventana.show();
    EXPECT_TRUE(socket->isHidden());
    socket->resize(200, 10);
    EXPECT_EQ(socket->size(), QSize(32, 32));
    // Even with its limits loosened, as a form editor may do.
    socket->setMinimumSize(0, 0);
    socket->setMaximumSize(500, 500);
    socket->show();
    socket->resize(200, 10);
    EXPECT_EQ(socket->size(), QSize(32, 32));
}

TEST(Control, ReleasingItWhileConnectedClosesTheChannelSilently)
{
    Banco b;
    b.conectar();
    bool cerrada = false;
    b.serie->alCerrarAbierta = [&] { cerrada = true; };
    const QStringList antes = b.registro->eventos;
    b.socket.reset();
    EXPECT_TRUE(cerrada);
    EXPECT_EQ(b.registro->eventos, antes);
}

} // namespace
