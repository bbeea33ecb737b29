#pragma once

#include <tovradocs/capturer.h>
#include <tovradocs/classids.h>
#include <tovradocs/datalink.h>
#include <tovradocs/dokument.h>
#include <tovradocs/dokumentz.h>
#include <tovradocs/enums.h>
#include <tovradocs/hostobjects.h>
#include <tovradocs/iconlibrary.h>
#include <tovradocs/mediamanager.h>
#include <tovradocs/recordset.h>
