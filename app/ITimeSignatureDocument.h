// What the time signature dialog needs of the song document: the meter and
// key signature map to edit and the document its project commands refresh
// (null for none). UI thread only.
#pragma once

class CMeterKeySigMap;
class ICommandDocument;

class ITimeSignatureDocument {
public:
    virtual CMeterKeySigMap& GetMeterKeySigMap() = 0;
    virtual ICommandDocument* GetCommandDocument() = 0;

protected:
    ~ITimeSignatureDocument() = default;
};
