#include "json/json_primer.h"

// The validating patterns avoid repeated groups, which the engine's regular expressions run by
// recursion: a long run of "[" must not exhaust it.
const char kJsonPrimer[] = R"js(
function get__count(c){var i=-2;for(v in c)i++;return i}
if (typeof JSON !== 'object') {
  JSON = {};
}
(function () {
  'use strict';

  var escapable = /[\\"\u0000-\u001f\u007f-\u009f\u00ad\u0600-\u0604\u070f\u17b4\u17b5\u200c-\u200f\u2028-\u202f\u2060-\u206f\ufeff\ufff0-\uffff]/g;
  var invisible = /[\u0000\u00ad\u0600-\u0604\u070f\u17b4\u17b5\u200c-\u200f\u2028-\u202f\u2060-\u206f\ufeff\ufff0-\uffff]/g;
  var shortEscapes = {'\b': '\\b', '\t': '\\t', '\n': '\\n', '\f': '\\f', '\r': '\\r', '"': '\\"', '\\': '\\\\'};
  var isArray = function (value) { return Object.prototype.toString.apply(value) === '[object Array]'; };
  var owns = function (object, key) { return Object.prototype.hasOwnProperty.call(object, key); };

  function twoDigits(n) { return n < 10 ? '0' + n : n; }
  function primitiveValue() { return this.valueOf(); }
  function unicodeEscape(character) {
    return '\\u' + ('0000' + character.charCodeAt(0).toString(16)).slice(-4);
  }
  function escapeCharacter(character) {
    var named = shortEscapes[character];
    return typeof named === 'string' ? named : unicodeEscape(character);
  }
  function quote(text) {
    escapable.lastIndex = 0;
    return '"' + (escapable.test(text) ? text.replace(escapable, escapeCharacter) : text) + '"';
  }

  if (typeof Date.prototype.toJSON !== 'function') {
    Date.prototype.toJSON = function () {
      if (!isFinite(this.valueOf())) return null;
      return this.getUTCFullYear() + '-' + twoDigits(this.getUTCMonth() + 1) + '-' +
          twoDigits(this.getUTCDate()) + 'T' + twoDigits(this.getUTCHours()) + ':' +
          twoDigits(this.getUTCMinutes()) + ':' + twoDigits(this.getUTCSeconds()) + 'Z';
    };
    Boolean.prototype.toJSON = primitiveValue;
    Number.prototype.toJSON = primitiveValue;
    String.prototype.toJSON = primitiveValue;
  }

  // Wraps the member texts of one object or array, laid out on lines when an indent is given.
  function enclose(parts, open, close, inner, outer) {
    if (parts.length === 0) return open + close;
    if (!inner) return open + parts.join(',') + close;
    return open + '\n' + inner + parts.join(',\n' + inner) + '\n' + outer + close;
  }

  function serializeMember(parts, key, holder, replacer, indent, inner) {
    var text = serialize(key, holder, replacer, indent, inner);
    if (text) parts.push(quote(key) + (inner ? ': ' : ':') + text);
  }

  function serializeObject(value, replacer, indent, outer) {
    var inner = outer + indent, parts = [], i, key;
    if (isArray(value)) {
      for (i = 0; i < value.length; i += 1) {
        parts[i] = serialize(i, value, replacer, indent, inner) || 'null';
      }
      return enclose(parts, '[', ']', inner, outer);
    }
    if (replacer && typeof replacer === 'object') {
      for (i = 0; i < replacer.length; i += 1) {
        if (typeof replacer[i] === 'string') {
          serializeMember(parts, replacer[i], value, replacer, indent, inner);
        }
      }
    } else {
      for (key in value) {
        if (owns(value, key)) serializeMember(parts, key, value, replacer, indent, inner);
      }
    }
    return enclose(parts, '{', '}', inner, outer);
  }

  // The JSON text of holder[key]; undefined for undefined and functions, which are left out.
  function serialize(key, holder, replacer, indent, outer) {
    var value = holder[key];
    if (value && typeof value === 'object' && typeof value.toJSON === 'function') {
      value = value.toJSON(key);
    }
    if (typeof replacer === 'function') value = replacer.call(holder, key, value);
    switch (typeof value) {
      case 'string':
        return quote(value);
      case 'number':
        return isFinite(value) ? String(value) : 'null';
      case 'boolean':
        return String(value);
      case 'object':
        return value ? serializeObject(value, replacer, indent, outer) : 'null';
    }
  }

  if (typeof JSON.stringify !== 'function') {
    JSON.stringify = function (value, replacer, space) {
      var indent = '', i;
      if (typeof space === 'number') {
        for (i = 0; i < space; i += 1) indent += ' ';
      } else if (typeof space === 'string') {
        indent = space;
      }
      if (replacer && typeof replacer !== 'function' &&
          (typeof replacer !== 'object' || typeof replacer.length !== 'number')) {
        throw new Error('JSON.stringify');
      }
      return serialize('', {'': value}, replacer, indent, '');
    };
  }

  function revive(holder, key, reviver) {
    var value = holder[key], member, revived;
    if (value && typeof value === 'object') {
      for (member in value) {
        if (owns(value, member)) {
          revived = revive(value, member, reviver);
          if (revived !== undefined) value[member] = revived; else delete value[member];
        }
      }
    }
    return reviver.call(holder, key, value);
  }

  // True when the text holds nothing but JSON tokens: escapes, then whole strings, literals and
  // numbers, then opening brackets are taken out, and only punctuation and blanks may be left.
  function onlyJsonTokens(text) {
    return /^[\],:{}\s]*$/.test(
        text.replace(/\\(?:["\\\/bfnrt]|u[0-9a-fA-F]{4})/g, '@')
            .replace(/"[^"\\\n\r]*"|true|false|null|-?\d+(?:\.\d*)?(?:[eE][+\-]?\d+)?/g, ']')
            .replace(/(?:^|:|,)[\s\[]*\[/g, ''));
  }

  if (typeof JSON.parse !== 'function') {
    JSON.parse = function (text, reviver) {
      var value;
      text = String(text);
      invisible.lastIndex = 0;
      if (invisible.test(text)) text = text.replace(invisible, unicodeEscape);
      if (!onlyJsonTokens(text)) throw new SyntaxError('JSON.parse');
      value = (0, eval)('(' + text + ')');
      return typeof reviver === 'function' ? revive({'': value}, '', reviver) : value;
    };
  }
}());
if (typeof Object.prototype.toJSONString !== 'function') {
  Object.prototype.toJSONString = function (filter) { return JSON.stringify(this, filter); };
  Object.prototype.parseJSON = function (filter) { return JSON.parse(this, filter); };
}
)js";
