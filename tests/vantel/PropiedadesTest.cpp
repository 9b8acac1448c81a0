// What a host or Qt Designer sees of the control: its properties by name,
// their defaults and persistence, and its fixed size.

#include "Falsos.h"

#include <vantel/AlmacenPropiedades.h>

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using Vantel::CommSocket;

namespace {

const QStringList OrdenPersistido = {"Canal",    "Settings", "Inicializacion", "Dial",      "NumTelefono",
                                     "Intentos", "TmOutMdm", "TmOutCnx",       "TmOutHang", "MskDTRRTS",
                                     "Host",     "Port",     "Dispositivo"};

class AlmacenGrabador : public Vantel::AlmacenPropiedades
{
public:
    QVariant leer(const QString &nombre, const QVariant &porDefecto) const override
    {
        leidos.append(nombre);
        return valores.value(nombre, porDefecto);
    }
    void escribir(const QString &nombre, const QVariant &valor, const QVariant &) override
    {
        escritos.append(nombre);
        valores.insert(nombre, valor);
    }
    mutable QStringList leidos;
    QStringList escritos;
    QVariantMap valores;
};

TEST(Propiedades, DefaultsAreReadableByName)
{
    CommSocket socket;
    const QVariantMap esperado = {
        {"Canal", 1},
        {"Settings", "9600,N,8,1"},
        {"Inicializacion", "AT&FE0V0Q0L3||AT&FE0V0Q0L3|0[Cr]|AT&C1||AT&D2||AT&A0|"},
        {"Dial", "ATDT"},
        {"NumTelefono", ""},
        {"Intentos", 4},
        {"TmOutMdm", 1000},
        {"TmOutCnx", 40},
        {"TmOutHang", 10},
        {"MskDTRRTS", 1},
        {"Host", ""},
        {"Port", 0},
        {"Dispositivo", ""},
    };
    for (auto it = esperado.begin(); it != esperado.end(); ++it)
        EXPECT_EQ(socket.property(it.key().toLatin1()).toString(), it.value().toString()) << it.key().toStdString();
    EXPECT_EQ(socket.property("Estado").value<CommSocket::sckEstado>(), CommSocket::sckEstado::sckCERRADO);
    EXPECT_EQ(socket.property("Error").value<CommSocket::sckError>(), CommSocket::sckError::sckOK);
    EXPECT_FALSE(socket.setProperty("Estado", QVariant::fromValue(CommSocket::sckEstado::sckCONECTADO)));
    EXPECT_EQ(socket.nombreDispositivo(), QStringLiteral("/dev/ttyS0"));
}

TEST(Propiedades, SettingByNameNotifiesOnlyRealChanges)
{
    CommSocket socket;
    QSignalSpy cambios(&socket, &CommSocket::HostChanged);
    EXPECT_TRUE(socket.setProperty("Host", QStringLiteral("192.168.1.20")));
    EXPECT_TRUE(socket.setProperty("Host", QStringLiteral("192.168.1.20")));
    EXPECT_EQ(socket.Host(), QStringLiteral("192.168.1.20"));
    EXPECT_EQ(cambios.count(), 1);
}

TEST(Propiedades, NumbersStayWithinTheirStoredRange)
{
    CommSocket socket;
    socket.setIntentos(100000);
    socket.setTmOutMdm(-100000);
    socket.setPort(70000);
    EXPECT_EQ(socket.Intentos(), 32767);
    EXPECT_EQ(socket.TmOutMdm(), -32768);
    EXPECT_EQ(socket.Port(), 65535);
    socket.setPort(-1);
    EXPECT_EQ(socket.Port(), 0);
}

TEST(Propiedades, PersistedInOneFixedOrder)
{
    CommSocket socket;
    AlmacenGrabador almacen;
    socket.GuardarPropiedades(almacen);
    EXPECT_EQ(almacen.escritos, OrdenPersistido);
    socket.LeerPropiedades(almacen);
    EXPECT_EQ(almacen.leidos, OrdenPersistido);
}

TEST(Propiedades, MissingStoredValuesMeanTheDefaults)
{
    CommSocket socket;
    socket.setIntentos(9);
    socket.setHost(QStringLiteral("antiguo"));
    AlmacenGrabador vacio;
    socket.LeerPropiedades(vacio);
    EXPECT_EQ(socket.Intentos(), 4);
    EXPECT_EQ(socket.Host(), QString());
}

TEST(Propiedades, SurviveARoundTripThroughAnIniFile)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("host.ini"));
    {
        CommSocket socket;
        socket.setCanal(4);
        socket.setSettings(QStringLiteral("2400,E,7,2"));
        socket.setInicializacion(QStringLiteral("ATZ|0[Cr]|ATX3|"));
        socket.setNumTelefono(QStringLiteral("0,912345678"));
        socket.setTmOutCnx(60);
        socket.setHost(QStringLiteral("pasarela.local"));
        socket.setPort(4001);
        socket.setDispositivo(QStringLiteral("/dev/ttyUSB0"));
        QSettings ini(ruta, QSettings::IniFormat);
        Vantel::AlmacenQSettings almacen(ini, QStringLiteral("Balanza"));
        socket.GuardarPropiedades(almacen);
    }
    QSettings ini(ruta, QSettings::IniFormat);
    Vantel::AlmacenQSettings almacen(ini, QStringLiteral("Balanza"));
    CommSocket leido;
    leido.LeerPropiedades(almacen);
    EXPECT_EQ(leido.Canal(), 4);
    EXPECT_EQ(leido.Settings(), QStringLiteral("2400,E,7,2"));
    EXPECT_EQ(leido.Inicializacion(), QStringLiteral("ATZ|0[Cr]|ATX3|"));
    EXPECT_EQ(leido.NumTelefono(), QStringLiteral("0,912345678"));
    EXPECT_EQ(leido.TmOutCnx(), 60);
    EXPECT_EQ(leido.Host(), QStringLiteral("pasarela.local"));
    EXPECT_EQ(leido.Port(), 4001);
    EXPECT_EQ(leido.Dispositivo(), QStringLiteral("/dev/ttyUSB0"));
}

TEST(Propiedades, HandWrittenIniValuesAreTakenAsMeant)
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("mano.ini"));
    QFile fichero(ruta);
    ASSERT_TRUE(fichero.open(QIODevice::WriteOnly));
    fichero.write("[Balanza]\nSettings=4800,N,8,1\nIntentos=muchos\nPort=4001\n");
    fichero.close();

    QSettings ini(ruta, QSettings::IniFormat);
    Vantel::AlmacenQSettings almacen(ini, QStringLiteral("Balanza"));
    CommSocket socket;
    socket.LeerPropiedades(almacen);
    EXPECT_EQ(socket.Settings(), QStringLiteral("4800,N,8,1"));
    EXPECT_EQ(socket.Intentos(), 4);
    EXPECT_EQ(socket.Port(), 4001);
}

TEST(Control, StaysThirtyTwoPixelsSquareAndHiddenInUse)
{
    QWidget ventana;
    auto *columna = new QVBoxLayout(&ventana);
    auto *socket = new CommSocket(&ventana);
    columna->addWidget(socket);
    ventana.resize(400, 300);
    ventana.show();
    EXPECT_TRUE(socket->isHidden());
    socket->resize(200, 10);
    EXPECT_EQ(socket->size(), QSize(32, 32));
    // Even with its limits loosened, as a form editor may do, once shown.
    socket->setMinimumSize(0, 0);
    socket->setMaximumSize(500, 500);
    socket->show();
    socket->resize(200, 10);
    EXPECT_EQ(socket->size(), QSize(32, 32));
}

TEST(Control, ReleasingItWhileConnectedClosesTheChannelSilently)
{
    Banco b;
    b.socket->Conectar();
    b.agotar();
    ASSERT_TRUE(b.serie->abierto());
    bool cerrada = false;
    b.serie->alCerrarAbierta = [&] { cerrada = true; };
    const qsizetype antes = b.registro->eventos.size();
    b.socket.reset();
    EXPECT_TRUE(cerrada);
    EXPECT_EQ(b.registro->eventos.size(), antes);
}

} // namespace
