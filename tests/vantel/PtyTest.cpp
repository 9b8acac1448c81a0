// The modem dialogue over a real serial device: the control opens the slave
// side of a pseudo-terminal and the test plays the modem on the master side.

#include "Falsos.h"

#include <QSocketNotifier>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

using Vantel::CommSocket;

namespace {

class ModemPty
{
public:
    ModemPty()
    {
        m_maestro = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_maestro < 0 || grantpt(m_maestro) != 0 || unlockpt(m_maestro) != 0)
            return;
        esclavo = QString::fromLocal8Bit(ptsname(m_maestro));
        // Held open so that the master never sees a hang-up between the
        // control's opens and closes; nobody reads it.
        m_esclavo = ::open(ptsname(m_maestro), O_RDWR | O_NOCTTY);
        fcntl(m_maestro, F_SETFL, fcntl(m_maestro, F_GETFL) | O_NONBLOCK);
        m_aviso = std::make_unique<QSocketNotifier>(m_maestro, QSocketNotifier::Read);
        QObject::connect(m_aviso.get(), &QSocketNotifier::activated, m_aviso.get(), [this] { leer(); });
    }
    ~ModemPty()
    {
        m_aviso.reset();
        if (m_esclavo >= 0)
            ::close(m_esclavo);
        if (m_maestro >= 0)
            ::close(m_maestro);
    }
    bool listo() const { return m_esclavo >= 0 && !esclavo.isEmpty(); }
    void enviar(const QByteArray &salida) { [[maybe_unused]] auto n = ::write(m_maestro, salida.data(), salida.size()); }

    QString esclavo;
    QList<QByteArray> comandos;
    QByteArray datos; // what reached the remote end while connected

private:
    void leer()
    {
        char trozo[512];
        const ssize_t n = ::read(m_maestro, trozo, sizeof trozo);
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN)
                m_aviso->setEnabled(false);
            return;
        }
        for (ssize_t i = 0; i < n; ++i)
            recibir(trozo[i]);
    }
    void recibir(char c)
    {
        if (m_enLinea) {
            datos += c;
            if (datos.endsWith("+++")) {
                m_enLinea = false;
                comandos.append("+++");
                enviar("0\r");
            }
            return;
        }
        if (c != '\r') {
            m_linea += c;
            return;
        }
        comandos.append(m_linea);
        if (m_linea.startsWith("ATD")) {
            m_enLinea = true;
            enviar("1\r");
        } else if (m_linea.startsWith("AT")) {
            enviar("0\r");
        }
        m_linea.clear();
    }

    int m_maestro = -1;
    int m_esclavo = -1;
    std::unique_ptr<QSocketNotifier> m_aviso;
    QByteArray m_linea;
    bool m_enLinea = false;
};

bool esperar(const Registro &registro, const QString &evento, int ms = 5000)
{
    return QTest::qWaitFor([&] { return registro.eventos.contains(evento); }, ms);
}

TEST(PuertoSerieReal, ModemDialogueOverAPseudoTerminal)
{
    ModemPty modem;
    ASSERT_TRUE(modem.listo());
    CommSocket socket;
    Registro registro(socket);
    socket.setDispositivo(modem.esclavo);
    socket.setNumTelefono(QStringLiteral("912345678"));
    socket.setMskDTRRTS(0); // a pseudo-terminal has no modem lines
    socket.setTmOutMdm(100);

    socket.Conectar();
    ASSERT_TRUE(esperar(registro, QStringLiteral("Conexion(sckCONECTADO,sckOK)"))) << registro.todo().toStdString();
    EXPECT_EQ(modem.comandos, QList<QByteArray>({"AT&FE0V0Q0L3", "AT&FE0V0Q0L3", "AT&C1", "AT&D2", "AT&A0",
                                                 "ATDT912345678"}));

    modem.enviar("BALANZA 3\r");
    EXPECT_TRUE(esperar(registro, QStringLiteral("Recepcion(BALANZA 3\r)")));
    socket.Enviar(QStringLiteral("TOTAL\r"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return modem.datos == "TOTAL\r"; }, 5000));

    socket.Desconectar();
    ASSERT_TRUE(esperar(registro, QStringLiteral("Desconexion(sckCERRADO,sckOK)"))) << registro.todo().toStdString();
    EXPECT_EQ(modem.comandos.mid(6), QList<QByteArray>({"+++", "ATH"}));
}

TEST(PuertoSerieReal, MissingDeviceIsReportedThroughTheEvents)
{
    CommSocket socket;
    Registro registro(socket);
    socket.setDispositivo(QStringLiteral("/dev/vantel-no-existe"));
    socket.Conectar();
    EXPECT_TRUE(esperar(registro, QStringLiteral("Conexion(sckCERRADO,sckCANALNODISPONIBLE)")));
    EXPECT_EQ(registro.eventos.first(), QStringLiteral("CambioEstado(sckABRIENDO,1)"));
}

} // namespace
