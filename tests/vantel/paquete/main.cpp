#include <vantel/AlmacenPropiedades.h>
#include <vantel/CommSocket.h>

#include <QApplication>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Vantel::CommSocket socket;
    QObject::connect(&socket, &Vantel::CommSocket::Conexion, &app,
                     [](Vantel::CommSocket::sckEstado, Vantel::CommSocket::sckError err) {
                         QApplication::exit(err == Vantel::CommSocket::sckError::sckCANALNODISPONIBLE ? 0 : 1);
                     });
    socket.setProperty("Dispositivo", QStringLiteral("/dev/vantel-no-existe"));
    socket.Conectar();
    QTimer::singleShot(10000, &app, [] { QApplication::exit(2); });
    return app.exec();
}
