#pragma once

class QAbstractScrollArea;

// Lets a finger drag the view and flick it; the content stops at its ends instead of bouncing,
// which on the small screen read as the list being broken.
void enableKineticScrolling(QAbstractScrollArea *area);
