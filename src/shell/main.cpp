#include "arranque.h"
#include "basedatos.h"
#include "contrasena.h"
#include "global.h"
#include "mainmdi.h"
#include "remitente.h"
#include "verifactu.h"

#include <QApplication>
#include <QDate>
#include <QIcon>
#include <QLocale>
#include <QTextStream>
#include <QThread>

#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

static void Identificar()
{
    QCoreApplication::setApplicationName(QStringLiteral("Quenza"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUENZA_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Quenza"));
}

// "quenza --rutas": where this copy keeps its settings and finds its masks and listings,
// without opening any window (for the shop's support and the package tests).
static int MostrarRutas(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Identificar();
    Global::DirectorioPrograma = QCoreApplication::applicationDirPath();
    QTextStream salida(stdout);
    salida << "Configuración: " << RutaConfiguracion() << '\n';
    for (const char* archivo : {"mskAlba.txt", "mskFact.txt", "LstAlb.lst", "LstClien.lst", "LstFactCli.lst", "LstFactFch.lst"}) {
        const QString ruta = BuscarArchivoPrograma(QString::fromLatin1(archivo));
        salida << archivo << ": " << (ruta.isEmpty() ? QStringLiteral("(no se encuentra)") : ruta) << '\n';
    }
    // The button Qt's own dialogs show, which says whether their Spanish translation is found.
    salida << "Traducción de Qt: "
           << (CargarTraduccionQt() ? QCoreApplication::translate("QPlatformTheme", "Cancel")
                                    : QStringLiteral("(no se encuentra)"))
           << '\n';
    return 0;
}

// The database the settings name, prepared as at start-up, for a command run without the
// window; null, after saying why on `errores`, when it cannot be used.
static std::unique_ptr<BaseDatos> AbrirBaseParaOrden(QTextStream& errores)
{
    LeerConfiguracion();
    LeerConfiguracionKV740();
    QString motivo = MotivoSinBaseDatos();
    std::unique_ptr<BaseDatos> bd;
    if (motivo.isEmpty())
        bd = PrepararBaseDatos(Global::RutaBaseDatos, motivo);
    if (!bd)
        errores << "quenza: " << motivo << '\n';
    return bd;
}

// "quenza --verificar-registros" walks the invoice records of the configured database and says
// every break (exit 0 only when everything holds, 1 with breaks, 2 when it cannot check);
// "quenza --exportar-registros DESDE HASTA ARCHIVO" writes those generated between two days
// (dd/mm/yyyy) as one document. No window opens.
static int Registros(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Identificar();
    Global::DirectorioPrograma = QCoreApplication::applicationDirPath();
    QTextStream salida(stdout), errores(stderr);
    const QStringList args = app.arguments().mid(1);
    const bool exportar = args[0] == QLatin1String("--exportar-registros");
    QDate desde, hasta;
    if (exportar) {
        if (args.size() == 4) {
            desde = QDate::fromString(args[1], QStringLiteral("dd/MM/yyyy"));
            hasta = QDate::fromString(args[2], QStringLiteral("dd/MM/yyyy"));
        }
        if (!desde.isValid() || !hasta.isValid()) {
            errores << "Uso: quenza --exportar-registros DESDE HASTA ARCHIVO (fechas dd/mm/aaaa)\n";
            return 2;
        }
    }
    std::unique_ptr<BaseDatos> bd = AbrirBaseParaOrden(errores);
    if (!bd)
        return 2;
    QString motivo;
    try {
        if (exportar) {
            if (!verifactu::ExportarRegistros(*bd, desde, hasta, args[3], motivo)) {
                errores << "quenza: " << motivo << '\n';
                return 1;
            }
            salida << "Registros de facturación del " << args[1] << " al " << args[2] << " escritos en " << args[3] << '\n';
            return 0;
        }
        const QStringList faltas = verifactu::VerificarRegistros(*bd);
        for (const QString& f : faltas)
            salida << f << '\n';
        if (!faltas.isEmpty()) {
            salida << "La cadena de registros de facturación NO está íntegra: " << faltas.size() << " fallos.\n";
            return 1;
        }
        const qint64 cuantos = bd->UltimoRegistro() ? bd->UltimoRegistro()->orden : 0;
        salida << "La cadena de " << cuantos << " registros de facturación está íntegra y cada registro corresponde a su factura.\n";
        return 0;
    } catch (const motor::Error& e) {
        errores << "quenza: " << motor::TextoParaUsuario(e) << '\n';
        return 2;
    }
}

// The certificate's password, asked on the terminal without echo; empty when there is no
// terminal to ask on.
static QString PedirClave(const QString& certificado)
{
#ifdef Q_OS_UNIX
    if (!isatty(STDIN_FILENO))
        return {};
    QTextStream(stderr) << "Contraseña del certificado " << certificado << ": " << Qt::flush;
    termios antes{};
    tcgetattr(STDIN_FILENO, &antes);
    termios sinEco = antes;
    sinEco.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &sinEco);
    const QString clave = QTextStream(stdin).readLine();
    tcsetattr(STDIN_FILENO, TCSANOW, &antes);
    QTextStream(stderr) << '\n';
    return clave;
#else
    Q_UNUSED(certificado);
    return {};
#endif
}

// "quenza --enviar-registros" sends the pending invoice records to the agency, keeping its pace,
// says what went and what the agency answered, and exits 0 only when nothing is left pending or
// rejected (1 otherwise, 2 when it cannot start).
static int EnviarRegistros(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Identificar();
    Global::DirectorioPrograma = QCoreApplication::applicationDirPath();
    QTextStream salida(stdout), errores(stderr);
    std::unique_ptr<BaseDatos> bd = AbrirBaseParaOrden(errores);
    if (!bd)
        return 2;
    try {
        const AjustesVerifactu ajustes = bd->LeerVerifactu();
        if (!ajustes.Activo) {
            salida << "El modo VERI*FACTU no está activado en esta base de datos: no hay registros que enviar.\n";
            return 0;
        }
        verifactu::ConfiguracionEnvio conf = verifactu::ConfiguracionDe(ajustes);
        if (bd->LeerEstadoEnvios().pendientes > 0) {
            conf.clave = qEnvironmentVariable("QUENZA_AEAT_CLAVE");
            if (conf.clave.isEmpty() && !conf.certificado.isEmpty())
                conf.clave = PedirClave(conf.certificado);
        }
        verifactu::TransporteHttps https(conf);
        verifactu::Remitente remitente(*bd, https, verifactu::Remitente::PuestoActual());
        bool seguir = true;
        while (seguir) {
            const verifactu::Remitente::Paso p = remitente.Enviar();
            switch (p.resultado) {
            case verifactu::Remitente::Resultado::NadaPendiente:
                seguir = false;
                break;
            case verifactu::Remitente::Resultado::Enviado:
                salida << "Enviados " << p.enviados << " registros (" << p.motivo << "): " << p.correctos << " correctos, "
                       << p.conErrores << " aceptados con errores, " << p.incorrectos << " rechazados.\n";
                for (const QString& l : p.lineas)
                    salida << "  " << l << '\n';
                salida.flush();
                break;
            case verifactu::Remitente::Resultado::Esperando: {
                const qint64 ms = QDateTime::currentDateTime().msecsTo(p.proximo);
                salida << "Esperando " << (ms + 999) / 1000 << " s entre envíos, como pide la Agencia Tributaria...\n";
                salida.flush();
                QThread::msleep(static_cast<unsigned long>(std::max<qint64>(ms, 0)));
                break;
            }
            case verifactu::Remitente::Resultado::OtroPuesto:
                salida << "Otro puesto (" << bd->LeerEstadoEnvios().titular << ") está enviando los registros ahora.\n";
                seguir = false;
                break;
            case verifactu::Remitente::Resultado::Fallo:
                errores << "quenza: " << p.motivo << '\n';
                seguir = false;
                break;
            }
        }
        remitente.Soltar();
        const verifactu::EstadoEnvios e = bd->LeerEstadoEnvios();
        salida << "Pendientes de envío: " << e.pendientes << ". Rechazados: " << e.rechazados << ". Aceptados con errores: " << e.conErrores
               << ".\n";
        return e.pendientes == 0 && e.rechazados == 0 ? 0 : 1;
    } catch (const motor::Error& e) {
        errores << "quenza: " << motor::TextoParaUsuario(e) << '\n';
        return 2;
    }
}

// "--help" and "--version" answer on the terminal and end: they never open the program.
static bool Responder(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const bool ayuda = qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0;
        const bool version = qstrcmp(argv[i], "--version") == 0 || qstrcmp(argv[i], "-v") == 0;
        if (!ayuda && !version)
            continue;
        QTextStream salida(stdout);
        if (version) {
            salida << "Quenza " << QUENZA_VERSION << '\n';
        } else {
            salida << "Uso: quenza [opción]\n"
                      "Facturación con KV740: abre el programa en el escritorio.\n\n"
                      "  --rutas      muestra dónde guarda su configuración y dónde busca máscaras y listados\n"
                      "  --verificar-registros\n"
                      "               comprueba la cadena de registros de facturación (VERI*FACTU)\n"
                      "  --exportar-registros DESDE HASTA ARCHIVO\n"
                      "               escribe los registros de facturación del periodo (fechas dd/mm/aaaa)\n"
                      "  --enviar-registros\n"
                      "               envía a la Agencia Tributaria los registros pendientes (contraseña del\n"
                      "               certificado en QUENZA_AEAT_CLAVE o preguntada en el terminal)\n"
                      "  --version    muestra la versión y termina\n"
                      "  --help       muestra esta ayuda y termina\n";
        }
        return true;
    }
    return false;
}

// Without a desktop Qt stops with a message in English: say first, in Spanish, what is missing.
static void AvisarSinPantalla()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        QTextStream(stderr) << "Quenza necesita un escritorio: no hay ninguna pantalla gráfica disponible "
                               "(DISPLAY y WAYLAND_DISPLAY están vacías). Inicie el programa desde el escritorio.\n";
#endif
}

int main(int argc, char** argv)
{
    if (argc == 2 && qstrcmp(argv[1], "--rutas") == 0)
        return MostrarRutas(argc, argv);
    if (argc >= 2 && (qstrcmp(argv[1], "--verificar-registros") == 0 || qstrcmp(argv[1], "--exportar-registros") == 0))
        return Registros(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--enviar-registros") == 0)
        return EnviarRegistros(argc, argv);
    if (Responder(argc, argv))
        return 0;
    AvisarSinPantalla();
    QApplication app(argc, argv);
    Identificar();
    QApplication::setWindowIcon(IconoPrograma());
    QGuiApplication::setDesktopFileName(QStringLiteral("es.quenza.Quenza"));

    QLocale::setDefault(LocalDelPrograma(QLocale::system()));
    CargarTraduccionQt();

    Global::DirectorioPrograma = QApplication::applicationDirPath();
    // Only here is there someone to ask: the commands without a window use ~/.pgpass or PGPASSWORD.
    motor::PedirContrasena = &DialogoContrasena::Preguntar;
    int resultado = 0;
    {
        std::unique_ptr<MainMDI> ventana = Arrancar();
        if (ventana)
            resultado = QApplication::exec();
    }
    // The data store goes last, closing the database.
    Global::BD.reset();
    return resultado;
}
