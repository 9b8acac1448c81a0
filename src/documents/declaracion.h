#pragma once

// The producer's "declaración responsable" that the program shows in "Acerca de": the system,
// what it does, that it only keeps records for sending (VERI*FACTU), who makes it and the
// statement of compliance. The producer's data come from a file installed with the package.

#include "registrofacturacion.h"

#include <QString>

#include <utility>
#include <vector>

namespace verifactu {

struct DatosProductor {
    QString Nombre;
    QString NIF;
    QString Direccion;
    QString Fecha;
    QString Lugar;
};
// The producer's data from `ruta` (declaracion.ini); empty fields when it is missing.
DatosProductor LeerDatosProductor(const QString& ruta);

// Quenza as its records describe it, with `numeroInstalacion`: the producer's name and NIF as
// the declaration at `ruta` states them, the build's own values only where it leaves them empty.
SistemaInformatico SistemaDeclarado(const QString& numeroInstalacion, const QString& ruta);
// The same with the declaration installed with the program (the one "Acerca de" shows).
SistemaInformatico SistemaDeclarado(const QString& numeroInstalacion);

// The declaration, item by item (heading, text), "pendiente" where the file leaves a field empty.
std::vector<std::pair<QString, QString>> DeclaracionResponsable(const DatosProductor& productor, const SistemaInformatico& sistema);

}  // namespace verifactu
