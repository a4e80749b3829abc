// One change of a chosen key with the passwords the command asked for.
#include "change_chosen_key.h"

#include "key_transport.h"
#include "password_buffers.h"
#include "typed_texts.h"

ChosenKeyChange ChangeChosenKey(const KeyFacts& key, PasswordField field,
                                FirstKeyPassword firstKeyPassword) {
    // A change that is interrupted keeps its repair for the key the last
    // status read put into keyIdentity: this one.
    keyIdentity = key.identity;
    const ChangeResult result =
        ChangeKeyField({field, firstKeyPassword, TakeTypedNewPassword, TakeTypedConfirmation,
                        TakeTypedCurrentKeyPassword});
    const ChosenKeyChange change{result, LostKey(key.path)};
    CloseKey();
    WipeTypedTexts();
    WipePasswordBuffers();
    return change;
}
