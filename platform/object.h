#pragma once

// Root of the class tree that the game's components share. Event handlers
// receive their sender as a TObject*.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};
