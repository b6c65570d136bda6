// Internal to the host layer: what host values that hold objects need of the
// object system. Declared here, below the objects, and defined by them, so that
// values stay the bottom part of the layer.
#ifndef ZELHOST_SRC_OBJECT_REFS_H
#define ZELHOST_SRC_OBJECT_REFS_H

class QxInterface;

// Keeps the object's record (and so its canonical handle) alive; the object
// itself may still be destroyed. Accepts any handle of the object; null is
// ignored.
void hoxRetainObject(QxInterface* handle);
// Drops one count taken with hoxRetainObject; the record goes with the last
// count once the object is destroyed.
void hoxReleaseObject(QxInterface* handle);
// The handle every handle of the object shares; null stays null.
QxInterface* hoxCanonicalObject(QxInterface* handle);
// Whether the object behind the handle has not been destroyed.
bool hoxObjectIsLive(QxInterface* handle);

#endif  // ZELHOST_SRC_OBJECT_REFS_H
