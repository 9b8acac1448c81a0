// Starts Quenza as the program does, on the settings file of a program folder, opens every
// window the toolbar reaches (and the first editor each browser opens) and saves a picture of
// each. One of today's notes is invoiced on the way, so that the invoice list has an invoice
// with lines; any other dialog or message box is answered with Escape.
//   capturas CARPETA_PROGRAMA CARPETA_CAPTURAS
#include "arranque.h"
#include "global.h"
#include "mainmdi.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QIcon>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cstdio>
#include <functional>
#include <set>

namespace {

QDir g_salida;
int g_guardadas = 0;

void Esperar(int ms)
{
    QEventLoop bucle;
    QTimer::singleShot(ms, &bucle, &QEventLoop::quit);
    bucle.exec();
}

void Guardar(QWidget* w, const QString& nombre)
{
    const QString ruta = g_salida.filePath(nombre + QStringLiteral(".png"));
    if (w->grab().save(ruta)) {
        ++g_guardadas;
        std::printf("%s\n", qPrintable(ruta));
    } else {
        std::fprintf(stderr, "no se pudo guardar %s\n", qPrintable(ruta));
    }
}

// A named dialog is photographed once, then every modal window is dismissed with Escape.
void VigilarModales()
{
    static std::set<QString> vistas;
    auto* vigia = new QTimer(qApp);
    QObject::connect(vigia, &QTimer::timeout, [] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        const QString nombre = modal->objectName();
        if (!nombre.isEmpty() && !nombre.startsWith(QLatin1String("qt_")) && vistas.insert(nombre).second)
            Guardar(modal, nombre);
        // The invoice generation dialog is accepted, so that the invoice list has an
        // invoice with lines to show.
        if (auto* acepto = nombre == QLatin1String("GeneFact") ? modal->findChild<QAbstractButton*>(QStringLiteral("Acepto")) : nullptr)
            acepto->click();
        else if (auto* d = qobject_cast<QDialog*>(modal))
            d->reject();
        else
            modal->close();
    });
    vigia->start(400);
}

QString NombreVentana(QMdiSubWindow* marco)
{
    QWidget* w = marco->widget();
    return w && !w->objectName().isEmpty() ? w->objectName() : QStringLiteral("ventana");
}

// Runs `accion` and photographs each child window it opened as <prefijo><name>.
std::vector<QMdiSubWindow*> Abiertas(QMdiArea* area, const std::function<void()>& accion, const QString& prefijo)
{
    const QList<QMdiSubWindow*> antes = area->subWindowList();
    accion();
    Esperar(800);
    std::vector<QMdiSubWindow*> nuevas;
    for (QMdiSubWindow* m : area->subWindowList())
        if (!antes.contains(m) && m->isVisible()) {
            Guardar(m, prefijo + NombreVentana(m));
            nuevas.push_back(m);
        }
    return nuevas;
}

template <typename T> T* Hijo(QWidget* w, const char* nombre)
{
    return w->findChild<T*>(QString::fromLatin1(nombre));
}

void Recorrer(MainMDI& principal)
{
    QMdiArea* area = principal.area();
    Guardar(&principal, QStringLiteral("principal"));
    // The notes before the invoices: one of today's notes is invoiced on the way.
    for (const char* clave : {"cli", "alb", "fac", "onl"}) {
        auto* boton = principal.TBar->findChild<QToolButton*>(QString::fromLatin1(clave));
        if (!boton)
            continue;
        const auto navegadores = Abiertas(area, [boton] { boton->click(); }, QString());
        if (navegadores.empty())
            continue;
        Guardar(&principal, QStringLiteral("principal-") + NombreVentana(navegadores.front()));
        QWidget* nav = navegadores.front()->widget();
        const QString prefijo = NombreVentana(navegadores.front()) + QLatin1Char('-');
        // An existing document first (the grid's current row), else a new one.
        std::vector<QMdiSubWindow*> editores;
        for (const char* nombre : {"MnModificar", "MnEditar", "MnVer"})
            if (auto* a = Hijo<QAction>(nav, nombre); a && editores.empty())
                editores = Abiertas(area, [a] { a->trigger(); }, prefijo);
        if (editores.empty())
            if (QWidget* grd = Hijo<QWidget>(nav, "Grd"))
                editores = Abiertas(area, [grd] {
                    grd->setFocus();
                    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                    QApplication::sendEvent(grd, &enter);
                }, prefijo);
        if (editores.empty())
            if (auto* nuevo = Hijo<QAbstractButton>(nav, "Nuevo"))
                editores = Abiertas(area, [nuevo] { nuevo->click(); }, prefijo);
        // Each picture shows one list: editors and list close (a question about unsaved
        // changes is answered with Escape by the watch; such an editor is only hidden).
        for (QMdiSubWindow* m : editores) {
            m->hide();
            m->close();
        }
        // The current note becomes an invoice (the watch photographs and accepts the dialog).
        if (auto* facturar = Hijo<QAction>(nav, "MnFacturar")) {
            facturar->trigger();
            Esperar(800);
        }
        for (QMdiSubWindow* m : navegadores)
            m->close();
        Esperar(500);
    }
    // The configuration dialog comes up modal; the watch photographs and cancels it.
    if (QWidget* cfg = principal.Boton(QStringLiteral("cfg")))
        QTimer::singleShot(0, cfg, [cfg] { static_cast<QAbstractButton*>(cfg)->click(); });
    Esperar(1500);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "uso: capturas CARPETA_PROGRAMA CARPETA_CAPTURAS\n");
        return 2;
    }
    QCoreApplication::setApplicationName(QStringLiteral("Quenza"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUENZA_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Quenza"));
    QApplication::setWindowIcon(IconoPrograma());
    CargarTraduccionQt();
    Global::DirectorioPrograma = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    // Absolute: start-up makes the program folder current.
    g_salida = QDir(QDir(QString::fromLocal8Bit(argv[2])).absolutePath());
    g_salida.mkpath(QStringLiteral("."));
    // Whatever happens, the run ends.
    QTimer::singleShot(120000, [] {
        std::fprintf(stderr, "capturas: tiempo agotado\n");
        std::_Exit(1);
    });
    VigilarModales();
    std::unique_ptr<MainMDI> principal = Arrancar();
    if (!principal) {
        std::fprintf(stderr, "capturas: el programa no arrancó (configuración o base de datos)\n");
        return 1;
    }
    principal->resize(1024, 720);
    Esperar(800);
    Recorrer(*principal);
    std::fflush(stdout);
    // Windows are dropped without closing them: nothing is asked and nothing is stored.
    std::_Exit(g_guardadas > 0 ? 0 : 1);
}
