// Resource and menu command ids, shared by the resource script and the program.
#ifndef KEYADMIN_RESOURCE_IDS_H
#define KEYADMIN_RESOURCE_IDS_H

#define KEYADMIN_MENU 106
#define KEYADMIN_BANNER 107
#define KEYADMIN_ICON 110

#define ID_VIEW_LOGIN_PASSWORD 40006
#define ID_CHANGE_LOGIN_PASSWORD 40001
#define ID_CHANGE_KEY_PASSWORD 40002
#define ID_EXIT 40005

#endif
