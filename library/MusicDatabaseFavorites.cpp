// The favorites side of TMusicDatabase: the lists kept in the files under "Favorites\" and the
// thread that writes them. The library keeps no favorites files yet, so after a rebuild there is
// nothing to read back and no writer to wait for.

#include "library/MusicDatabase.h"

void TMusicDatabase::RestoreFavorites() {}

void TMusicDatabase::RestartFavoritesWriter() {}
