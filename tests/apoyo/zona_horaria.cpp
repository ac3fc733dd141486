#include "apoyo/zona_horaria.h"

#include <QtGlobal>
#include <ctime>

ZonaHoraria::ZonaHoraria(const char* zona) : antes(qgetenv("TZ")), habia(qEnvironmentVariableIsSet("TZ")) {
    qputenv("TZ", zona);
    tzset();
}

ZonaHoraria::~ZonaHoraria() {
    if (habia) qputenv("TZ", antes);
    else qunsetenv("TZ");
    tzset();
}
