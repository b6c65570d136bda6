// Internal to the host layer: reference counts on object records, for host values that hold
// objects.
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

#endif  // ZELHOST_SRC_OBJECT_REFS_H
